// Compressed entries: the decoder run over the current entry's packed data,
// its window delivered to the entry's output as it fills.
#pragma once

#include <cstdint>

struct ExtractContext;

// Decompresses the current entry. The driver has set the decoder's
// unpacked_left and input, the destination and entry_crc; on return every
// byte produced has been handed to WriteOut. `solid` continues the state
// the previous entry left.
void UnpackEntry(ExtractContext* context, uint8_t* window, bool solid);
