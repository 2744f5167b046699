#include "fuzz/pass_fuzz_target.h"

#include "fuzz/memory_file_system.h"

void RunPassOnInput(const uint8_t* data, size_t size, EntryCallback callback) {
  ServeFromMemory(data, size);
  ExtractArchive("input", callback, nullptr);
  ServeFromMemory(nullptr, 0);
}
