#include "uninstall/product_links.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/shell_folders.h"

namespace {

// The target of the shortcut file at `link_path` into `target` (kPathSize
// bytes), read through the shell's link object; empty when it has none.
void ReadLinkTarget(const char* link_path, char* target) {
  target[0] = '\0';
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)))) {
    return;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR wide_path[kPathSize];
    ToWide(wide_path, link_path, kPathSize);
    if (FAILED(file->Load(wide_path, STGM_READ)) ||
        FAILED(link->GetPath(target, static_cast<int>(kPathSize), nullptr, SLGP_RAWPATH))) {
      target[0] = '\0';
    }
    file->Release();
  }
  link->Release();
}

void RemoveLinksIn(const char* links_folder, const UninstallList& list, const char* folder) {
  char pattern[kPathSize];
  if (links_folder[0] == '\0' || !PathInFolder(pattern, links_folder, "*.lnk")) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    char link_path[kPathSize];
    char target[kPathSize];
    if (!PathInFolder(link_path, links_folder, found.cFileName)) continue;
    ReadLinkTarget(link_path, target);
    if (IsPackageFile(list, folder, target)) DeleteFileA(link_path);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace

bool IsPackageFile(const UninstallList& list, const char* folder, const char* path) {
  char parent[kPathSize];
  CopyBounded(parent, path, sizeof parent);
  CutLastComponent(parent);
  if (path[0] == '\0' || lstrcmpiA(parent, folder) != 0) return false;
  const char* file_name = path + FileNameOffset(path);
  const char* name = list.first_name;
  for (uint32_t i = 0; i < list.name_count; ++i, name = NextUninstallName(name)) {
    if (lstrcmpiA(name, file_name) == 0) return true;
  }
  return false;
}

void RemoveProductLinks(const UninstallList& list, const char* folder) {
  char links_folder[kPathSize];
  // Setup makes the group in the all users' Programs folder where there is
  // one, else in the user's; an earlier installation may have used either.
  const int programs[] = {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS};
  if (list.product[0] != '\0') {
    for (int csidl : programs) {
      GetSpecialFolder(csidl, links_folder);
      if (links_folder[0] == '\0' || JoinPath(links_folder, list.product, sizeof links_folder) != kTextWhole) continue;
      RemoveLinksIn(links_folder, list, folder);
      RemoveDirectoryA(links_folder);  // only when empty
    }
  }
  GetSpecialFolder(CSIDL_DESKTOP, links_folder);
  RemoveLinksIn(links_folder, list, folder);
  GetQuickLaunchFolder(links_folder, sizeof links_folder);
  RemoveLinksIn(links_folder, list, folder);
}
