// A side of the file-system layer for the fuzz targets: whatever path is
// opened for reading reads the bytes served here.
#pragma once

#include <cstddef>
#include <cstdint>

// Serves `data` (which must stay valid while it is read) behind every path;
// null serves nothing, and every open fails.
void ServeFromMemory(const uint8_t* data, size_t size);
