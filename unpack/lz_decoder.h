// The LZ decoder of the 2.0 method: one compressed entry into the 1 MiB
// circular window, delivered through the output sink.
#pragma once

#include <cstdint>

struct ExtractContext;

// Why the last UnpackEntry call stopped, kept in ExtractContext::unpack_stop
// so that callers can name a reason for an entry that fails its check.
enum UnpackStop {
  kUnpackComplete = 0,       // produced the entry's unpacked size
  kUnpackInputExhausted = 1, // read well past the entry's packed data: damaged
  kUnpackAudio = 2,          // audio blocks, which this decoder does not reproduce
};

// Decompresses the current entry. The driver has set unpacked_left,
// packed_left, the destination and entry_crc; on return every byte produced
// has been handed to WriteOut. `solid` continues the previous entry's state.
// The window must be zero-filled the first time a context sees it.
void UnpackEntry(ExtractContext* context, uint8_t* window, bool solid);

// Per-entry start: the bit position always; for a non-solid entry also the
// match history, the window (zeros again), its positions and old_lengths.
void InitUnpack(ExtractContext* context, bool solid);

// Records the match in the history and copies `length` bytes from
// `distance` bytes back (a distance of 0 or the window size reads the byte
// being written) to win_pos, which it advances.
void CopyMatch(ExtractContext* context, uint32_t length, uint32_t distance);

// The look-ahead after an entry's last byte: when enough input remains, one
// more symbol, and a table read if it asks for one. The tables it reads
// serve the next solid entry.
void ReadTrailingTables(ExtractContext* context);
