// Runs the installer's decoder over one entry's packed bytes held in memory,
// as the extraction driver would over the archive file: only the checksum
// and the count of bytes delivered are kept.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/extract_context.h"

void UnpackFromMemory(ExtractContext* context, uint8_t* window, const uint8_t* packed, size_t size,
                      uint32_t unpacked_size, bool solid);
