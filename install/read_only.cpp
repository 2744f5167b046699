#include "install/read_only.h"

#include <windows.h>

void ClearReadOnly(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || (attributes & FILE_ATTRIBUTE_READONLY) == 0) return;
  SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}
