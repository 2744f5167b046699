#include <windows.h>

#include "common/file_system.h"

size_t FsFullPath(const char* path, char* out, size_t size) {
  out[0] = '\0';
  DWORD length = GetFullPathNameA(path, static_cast<DWORD>(size), out, nullptr);
  // A result of `size` or more is the size the full path would need.
  if (length == 0 || length >= size) return 0;
  return length;
}

void FsToWide(WideChar* destination, const char* source, size_t capacity) {
  MultiByteToWideChar(CP_ACP, 0, source, -1, destination, static_cast<int>(capacity - 1));
  destination[capacity - 1] = 0;
}

bool FsExists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}
