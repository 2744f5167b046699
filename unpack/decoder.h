// The state of the 2.0 method's decoder: its bit input, the window and its
// positions, the Huffman tables and the lengths they were built from, the
// match history, and why it last stopped. One record serves all the entries
// of a pass, since a solid entry continues what the entry before it left.
// Zero-filled, it is a decoder that has seen no entry; it allocates nothing
// of its own.
#pragma once

#include <cstdint>

#include "unpack/bit_input.h"
#include "unpack/decode_table.h"
#include "unpack/decoder_bounds.h"

// Why the decoder last stopped, so that the driver can name a reason for an
// entry that fails its check.
enum UnpackStop {
  kUnpackComplete = 0,        // produced the entry's unpacked size
  kUnpackInputExhausted = 1,  // read well past the entry's packed data: damaged
  kUnpackAudio = 2,           // audio blocks, which this decoder does not reproduce
};

// Code lengths of one table read: up to 4 audio channels of 257.
constexpr uint32_t kAudioAlphabet = 257;
constexpr uint32_t kLengthTableSize = 4 * kAudioAlphabet;

struct Decoder {
  // kWindowBufferSize bytes, owned by the pass and given with each entry;
  // zero-filled the first time this record sees it.
  uint8_t* window;
  // Positions in the ring, below kWindowBufferSize between entries. The
  // bytes from win_flushed up to win_pos (wrapping) are produced but not yet
  // delivered; at most kWindowSize - kFlushMargin of them wait before a
  // symbol, and none after an entry.
  uint32_t win_pos;
  uint32_t win_flushed;
  // Ring bytes from its start that entries since the last non-solid reset
  // may have written; the rest still reads as zeros, so a reset clears only
  // these.
  uint32_t window_dirty;
  // Bytes the entry still owes: set by the driver to its unpacked size,
  // counted down by every byte produced. A match may overshoot it and is
  // then delivered whole; a size of 2 GiB or more reads as negative and
  // produces nothing.
  int32_t unpacked_left;

  // The tables of the current block, rebuilt by each table read: LZ mode's
  // three, or one per audio channel. Every peek decodes to some symbol.
  DecodeTable length_code_table;
  DecodeTable main_table;
  DecodeTable dist_table;
  DecodeTable rep_length_table;
  DecodeTable audio_tables[4];
  // The lengths the last table read delivered, against which the next one
  // is delta coded; zeroed by a non-solid entry and by a header that does
  // not keep them.
  uint8_t old_lengths[kLengthTableSize];
  // Nonzero after a header that announced audio mode (its bit as read).
  uint32_t audio_mode;
  // Channels of the last audio header, 1..4 (0 until one is read), and the
  // current one, always below it or 0.
  int32_t channel_count;
  int32_t cur_channel;

  // The match history, carried across solid entries: the last match, which
  // symbol 256 repeats, and the ring of recent distances, the next going to
  // recent_dist[recent_index & 3]. Every match is recorded, repeats too.
  uint32_t last_length;
  uint32_t last_distance;
  uint32_t recent_dist[4];
  uint32_t recent_index;

  uint32_t unpack_stop;  // UnpackStop of the entry last decoded

  BitInput input;
};
