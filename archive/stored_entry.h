// Entries stored without compression (method '0').
#pragma once

struct ExtractContext;

// Copies the current stored entry from the archive to its destination in
// 32 KiB blocks: packed bytes are read up to the packed size, and at most the
// unpacked size of them is handed to WriteOut. The driver has set
// input_file, packed_left, unpacked_left, the destination, entry_crc and
// skip_output. Returns 0, or kExtractNoCopyBuffer without reading anything
// when the copy buffer cannot be had.
int CopyStored(ExtractContext* context);
