#include <io.h>
#include <share.h>
#include <windows.h>

#include <cstdio>

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

bool FsExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool FsIsLink(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

FILE* FsOpenShared(const char* path) { return _fsopen(path, "rb", _SH_DENYWR); }

FILE* FsCreateFile(const char* path) { return fopen(path, "w+b"); }

bool FsDeleteFile(const char* path) { return DeleteFileA(path) != 0; }

uint32_t FsLastError() { return GetLastError(); }

bool FsCloseWithDosTime(FILE* file, uint32_t dos_time) {
  // The stream was opened for writing, so its handle may set times; null
  // times leave the creation and last-access times as they are.
  bool flushed = fflush(file) == 0;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  FILETIME local, written;
  if (flushed && handle != INVALID_HANDLE_VALUE &&
      DosDateTimeToFileTime(static_cast<WORD>(dos_time >> 16), static_cast<WORD>(dos_time), &local) &&
      LocalFileTimeToFileTime(&local, &written)) {
    SetFileTime(handle, nullptr, nullptr, &written);
  }
  return fclose(file) == 0 && flushed;
}

void FsSetNewFileAttributes(const char* path, uint32_t attributes) {
  if (attributes == FILE_ATTRIBUTE_ARCHIVE) return;
  SetFileAttributesA(path, attributes);
}
