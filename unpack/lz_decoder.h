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
void UnpackEntry(ExtractContext* context, uint8_t* window, bool solid);
