#include "install/restart_removal.h"

#include <windows.h>

#include <cstring>

#include "archive/memory_buffer.h"
#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "shell/windows_family.h"

namespace {

// wininit.ini's [rename] section is read and written whole: the profile
// functions keep every "NUL=" line of it, where writing one key would
// replace the line of an earlier deletion. Larger sections are left alone.
constexpr DWORD kRenameSectionSize = 32768;

const char kDeleteKey[] = "NUL=";

bool AddWininitDeletion(const char* path) {
  char short_path[kPathSize];
  DWORD length = GetShortPathNameA(path, short_path, sizeof short_path);
  if (length == 0 || length >= sizeof short_path) return false;
  char ini[kPathSize];
  UINT folder_length = GetWindowsDirectoryA(ini, sizeof ini);
  if (folder_length == 0 || folder_length >= sizeof ini || JoinPath(ini, "wininit.ini", sizeof ini) != kTextWhole) {
    return false;
  }
  char* section = static_cast<char*>(ZeroAlloc(kRenameSectionSize));
  if (section == nullptr) return false;
  // `used` counts the lines and their terminators, not the section's own:
  // the new line goes where that one stands, and a new one follows it. A
  // section that filled the buffer reads as size - 2 and gets nothing.
  DWORD used = GetPrivateProfileSectionA("rename", section, kRenameSectionSize, ini);
  const size_t line_length = sizeof kDeleteKey - 1 + length;
  bool recorded = used + line_length + 2 < kRenameSectionSize;
  if (recorded) {
    char* line = section + used;
    std::memcpy(line, kDeleteKey, sizeof kDeleteKey - 1);
    std::memcpy(line + sizeof kDeleteKey - 1, short_path, length + 1);
    line[line_length + 1] = '\0';
    recorded = WritePrivateProfileSectionA("rename", section, ini) != 0;
  }
  FreeAndNull(section);
  return recorded;
}

}  // namespace

bool DeleteAtRestart(const char* path) {
  if (DetectWindowsFamily() == 0) return AddWininitDeletion(path);
  return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}
