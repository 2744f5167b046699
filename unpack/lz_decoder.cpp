#include "unpack/lz_decoder.h"

#include <cstring>

#include "archive/extract_context.h"
#include "unpack/code_lengths.h"
#include "unpack/decode_table.h"
#include "unpack/output_sink.h"
#include "unpack/packed_stream.h"

namespace {

// Before each symbol the input is refilled once in_pos has passed this: the
// longest symbol (a 15-bit code, 5 length bits, a 15-bit distance code and
// 16 distance bits) then still peeks inside in_buf.
constexpr uint32_t kSymbolRefillAt = 8162;

// Pending output is flushed once fewer free window bytes than this remain
// in front of it: every symbol produces at most 260 bytes.
constexpr uint32_t kFlushMargin = 270;

// Main alphabet.
constexpr uint32_t kRepeatLastSymbol = 256;
constexpr uint32_t kFirstRecentSymbol = 257;  // 257..260: newest to oldest distance
constexpr uint32_t kFirstShortSymbol = 261;   // 261..268: 2-byte matches, short distances
constexpr uint32_t kNewTablesSymbol = 269;
constexpr uint32_t kFirstLengthSymbol = 270;  // 270..297: length slots of a new match

// Length slots: each base is the previous one plus 2^(previous bit count).
constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,   8,   10,  12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                     2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

// Distance slots, built the same way; the last twelve step by 0x10000.
constexpr uint32_t kDistBase[48] = {
    0,       1,       2,       3,       4,       6,       8,       12,      16,      24,
    32,      48,      64,      96,      128,     192,     256,     384,     512,     768,
    1024,    1536,    2048,    3072,    4096,    6144,    8192,    12288,   16384,   24576,
    32768,   49152,   65536,   98304,   131072,  196608,  0x40000, 0x50000, 0x60000, 0x70000,
    0x80000, 0x90000, 0xA0000, 0xB0000, 0xC0000, 0xD0000, 0xE0000, 0xF0000};
constexpr uint8_t kDistBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                   7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                   15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};

// Short-distance slots of the 2-byte matches.
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// Long distances pay for their extra bits with longer minimum matches.
constexpr uint32_t kLongDistance = 0x2000;
constexpr uint32_t kVeryLongDistance = 0x40000;
constexpr uint32_t kRecentNearDistance = 0x101;

uint32_t ReadExtra(ExtractContext* context, uint32_t bits) {
  return bits == 0 ? 0 : ReadBitField(context, bits);
}

// Marks the window as written up to its end once a write has reached it.
void NoteWrapAt(ExtractContext* context, uint32_t end) {
  if (end >= kWindowSize) context->window_dirty = kWindowSize;
}

// One symbol of the main loop, in stream order: the extra length bits of a
// match come before its distance symbol.
void DecodeMainSymbol(ExtractContext* context) {
  uint32_t symbol = DecodeSymbol(context, &context->main_table);
  if (symbol < 256) {
    context->window[context->win_pos++] = static_cast<uint8_t>(symbol);
    context->unpacked_left -= 1;
  } else if (symbol >= kFirstLengthSymbol) {
    uint32_t slot = symbol - kFirstLengthSymbol;
    uint32_t length = kLengthBase[slot] + 3 + ReadExtra(context, kLengthBits[slot]);
    uint32_t dist_slot = DecodeSymbol(context, &context->dist_table);
    uint32_t distance = kDistBase[dist_slot] + 1 + ReadExtra(context, kDistBits[dist_slot]);
    if (distance >= kVeryLongDistance) ++length;
    if (distance >= kLongDistance) ++length;
    CopyMatch(context, length, distance);
  } else if (symbol == kNewTablesSymbol) {
    ReadCodeLengths(context);
  } else if (symbol == kRepeatLastSymbol) {
    CopyMatch(context, context->last_length, context->last_distance);
  } else if (symbol < kFirstShortSymbol) {
    uint32_t age = symbol - kRepeatLastSymbol;  // 1 = newest
    uint32_t distance = context->recent_dist[(context->recent_index - age) & 3];
    uint32_t slot = DecodeSymbol(context, &context->rep_length_table);
    uint32_t length = kLengthBase[slot] + 2 + ReadExtra(context, kLengthBits[slot]);
    if (distance >= kVeryLongDistance) ++length;
    if (distance >= kLongDistance) ++length;
    if (distance >= kRecentNearDistance) ++length;
    CopyMatch(context, length, distance);
  } else {
    uint32_t slot = symbol - kFirstShortSymbol;
    CopyMatch(context, 2, kShortBase[slot] + 1 + ReadExtra(context, kShortBits[slot]));
  }
}

}  // namespace

void InitUnpack(ExtractContext* context, bool solid) {
  context->in_bit = 0;
  context->in_pos = 0;
  if (solid) return;
  context->cur_channel = 0;
  memset(context->recent_dist, 0, sizeof context->recent_dist);
  context->recent_index = 0;
  context->last_length = 0;
  context->last_distance = 0;
  // The window must read as zeros again, but only what entries wrote since
  // the last reset can differ from zero: clearing that part is enough.
  memset(context->window, 0, context->window_dirty);
  context->window_dirty = 0;
  memset(context->old_lengths, 0, kLengthTableSize);
  context->win_flushed = 0;
  context->win_pos = 0;
}

void CopyMatch(ExtractContext* context, uint32_t length, uint32_t distance) {
  context->recent_dist[context->recent_index & 3] = distance;
  context->last_distance = distance;
  context->recent_index += 1;
  context->last_length = length;
  context->unpacked_left -= static_cast<int32_t>(length);

  uint8_t* window = context->window;
  uint32_t to = context->win_pos & kWindowMask;
  uint32_t from = (to - distance) & kWindowMask;
  context->win_pos = to + length;
  NoteWrapAt(context, to + length);

  if (to + length > kWindowSize || from + length > kWindowSize) {
    // Source or destination wraps the window end: byte by byte, as the
    // definition of a match reads.
    for (uint32_t i = 0; i < length; ++i)
      window[(to + i) & kWindowMask] = window[(from + i) & kWindowMask];
    context->win_pos &= kWindowMask;
    return;
  }
  // A byte-by-byte forward copy reads only original bytes when the source
  // starts at or after the destination, or ends before it: a plain move.
  // Otherwise the copy overlaps its own output and repeats the last
  // `distance` bytes; with distance 8 or more, every 8-byte step still reads
  // only bytes written before it.
  uint8_t* out = window + to;
  const uint8_t* in = window + from;
  if (from >= to || distance >= length) {
    memmove(out, in, length);
  } else if (distance == 1) {
    memset(out, in[0], length);
  } else {
    uint32_t i = 0;
    if (distance >= 8) {
      for (; i + 8 <= length; i += 8) memcpy(out + i, in + i, 8);
    }
    for (; i < length; ++i) out[i] = in[i];
  }
}

void ReadTrailingTables(ExtractContext* context) {
  if (context->in_top < context->in_pos + 5) return;
  if (context->audio_mode != 0) {
    const DecodeTable* table = &context->audio_tables[context->cur_channel];
    if (DecodeSymbol(context, table) == 256) ReadCodeLengths(context);
  } else if (DecodeSymbol(context, &context->main_table) == kNewTablesSymbol) {
    ReadCodeLengths(context);
  }
}

void UnpackEntry(ExtractContext* context, uint8_t* window, bool solid) {
  context->window = window;
  context->unpack_stop = kUnpackComplete;
  InitUnpack(context, solid);
  StartInput(context);
  if (!solid) ReadCodeLengths(context);

  // unpacked_left counts the bytes still owed; a match may overshoot it, and
  // is then delivered whole. A size of 2^31 or more reads as negative and
  // produces nothing.
  while (context->unpacked_left > 0) {
    if (context->win_pos >= kWindowSize) {
      context->win_pos &= kWindowMask;
      context->window_dirty = kWindowSize;
    }
    if (context->in_pos > kSymbolRefillAt) ContinueInput(context);
    // A valid stream ends inside its packed data. Past it, the bits are
    // stale buffer bytes and symbols that produce nothing could run on for
    // ever: the entry is damaged, stop.
    if (InputOverrun(context)) {
      context->unpack_stop = kUnpackInputExhausted;
      break;
    }
    // No audio decoder exists: after an audio header the rest of the entry
    // cannot be reproduced.
    if (context->audio_mode != 0) {
      context->unpack_stop = kUnpackAudio;
      break;
    }
    uint32_t free_space = (context->win_flushed - context->win_pos) & kWindowMask;
    if (free_space < kFlushMargin && context->win_flushed != context->win_pos)
      FlushWindow(context);
    DecodeMainSymbol(context);
  }

  if (context->unpack_stop == kUnpackComplete) ReadTrailingTables(context);
  if (context->win_pos > context->window_dirty) context->window_dirty = context->win_pos;
  FlushWindow(context);
  context->win_pos &= kWindowMask;
  context->win_flushed &= kWindowMask;
}
