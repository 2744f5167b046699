#include "install/shell_folders.h"

#include <shlobj.h>

#include "common/bounded_text.h"
#include "common/path_helpers.h"

void GetSpecialFolder(int csidl, char* out) {
  out[0] = '\0';
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || list == nullptr) return;
  if (!SHGetPathFromIDListA(list, out)) out[0] = '\0';
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
    allocator->Free(list);
    allocator->Release();
  }
}

void GetQuickLaunchFolder(char* out, size_t size) {
  char folder[kPathSize];
  GetSpecialFolder(CSIDL_APPDATA, folder);
  CopyBounded(out, folder, size);
  if (out[0] == '\0') return;
  // A tail that does not fit whole would name some other folder.
  if (AppendBounded(out, "\\Microsoft\\Internet Explorer\\Quick Launch", size) != kTextWhole) out[0] = '\0';
}

int HasQuickLaunchFolder() {
  char folder[kPathSize];
  GetQuickLaunchFolder(folder, sizeof folder);
  return folder[0] != '\0' && CheckFileExists(folder) == 0 ? 1 : 0;
}
