#include "shell/windows_family.h"

int DetectWindowsFamily() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;  // 148 bytes: the plain record
  GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
}
