// The file-system layer of the fuzz targets: one file held in memory, the
// input under test, stands behind every path. No input is written to disk,
// so an execution costs the pass and nothing else. Every function of the
// layer is defined here, so that the linker takes none from the POSIX side.
#include "fuzz/memory_file_system.h"

#include <cstdio>

#include "common/file_system.h"

namespace {

// The input of the running execution; libFuzzer keeps it alive for the call.
const uint8_t* served_data = nullptr;
size_t served_size = 0;

}  // namespace

void ServeFromMemory(const uint8_t* data, size_t size) {
  served_data = data;
  served_size = size;
}

// fmemopen refuses an empty buffer; an empty file holds no archive either,
// and a file that cannot be opened ends a pass the same way.
FILE* FsOpenShared(const char*) {
  if (served_data == nullptr || served_size == 0) return nullptr;
  return fmemopen(const_cast<uint8_t*>(served_data), served_size, "rb");
}

// The targets take every entry into memory or only verify it: nothing is
// ever created, deleted or named on disk.
size_t FsFullPath(const char*, char*, size_t) { return 0; }
void FsToWide(WideChar* destination, const char*, size_t capacity) {
  if (capacity > 0) destination[0] = 0;
}
bool FsExists(const char*) { return false; }
bool FsIsLink(const char*) { return false; }
FILE* FsCreateFile(const char*) { return nullptr; }
bool FsDeleteFile(const char*) { return false; }
// Nothing here fails for a reason the system would name.
uint32_t FsLastError() { return 0; }
bool FsCloseWithDosTime(FILE* file, uint32_t) { return fclose(file) == 0; }
void FsSetNewFileAttributes(const char*, uint32_t) {}
