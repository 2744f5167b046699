// The shared body of the fuzz targets that run a whole pass: the input is
// served from memory through the file-system layer and handed to
// ExtractArchive with the target's callback.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/extract_archive.h"

// Entries above this size end the pass: the fuzzer looks for faults, not for
// archives that legitimately take long to unpack.
constexpr uint32_t kFuzzLargestEntry = 4u << 20;

void RunPassOnInput(const uint8_t* data, size_t size, EntryCallback callback);
