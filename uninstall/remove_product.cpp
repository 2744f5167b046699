#include "uninstall/remove_product.h"

#include <windows.h>
#include <objbase.h>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/read_only.h"
#include "install/restart_removal.h"
#include "uninstall/hand_over.h"
#include "uninstall/product_links.h"
#include "uninstall/product_registry.h"
#include "uninstall/uninstall_exit.h"

namespace {

// The installed uninstaller ends as soon as it has started this copy, or
// read its outcome; its file is left to the next restart only when it has
// not ended by then.
constexpr DWORD kUninstallerEndsWithinMs = 30000;
constexpr DWORD kRetryEveryMs = 100;

// Deletes the file now, read-only or not, or else at the next restart;
// false for the latter.
bool DeleteNowOrAtRestart(const char* path) {
  ClearReadOnly(path);
  if (DeleteFileA(path)) return true;
  DeleteAtRestart(path);
  return false;
}

// The package's files by name, but the installed uninstaller: whatever the
// user added to the folder stays. A name this installation did not place
// (another edition, a language not chosen) is missing, and a folder of a
// package file's name is not the package's. False when some file is left
// to the next restart.
bool RemovePackageFiles(const UninstallList& list, const char* folder, const char* uninstaller_name) {
  bool all_now = true;
  const char* name = list.first_name;
  for (uint32_t i = 0; i < list.name_count; ++i, name = NextUninstallName(name)) {
    char path[kPathSize];
    if (lstrcmpiA(name, uninstaller_name) == 0 || !PathInFolder(path, folder, name)) continue;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    if (!DeleteNowOrAtRestart(path)) all_now = false;
  }
  return all_now;
}

// The installed uninstaller's file, once its program has ended; false when
// it is left to the next restart.
bool RemoveEndedUninstaller(const char* path) {
  for (DWORD waited = 0; waited < kUninstallerEndsWithinMs; waited += kRetryEveryMs) {
    if (DeleteFileA(path) || CheckFileExists(path) != 0) return true;
    Sleep(kRetryEveryMs);
  }
  return DeleteNowOrAtRestart(path);
}

// The installed uninstaller of a silent run waits for this one byte.
void SendOutcome(int outcome) {
  char byte = static_cast<char>(outcome);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), &byte, 1, &written, nullptr);
}

void Report(const UninstallList& list, const char* folder, bool all_now, const UninstallTexts& texts) {
  char text[kMessageSize] = "";
  AppendComposed(text, sizeof text, texts.removed, DisplayName(list, folder), folder);
  if (!all_now) {
    AppendComposed(text, sizeof text, texts.at_restart, "", "");
  } else if (CheckFileExists(folder) == 0) {
    AppendComposed(text, sizeof text, texts.folder_stays, "", folder);
  }
  MessageBoxA(nullptr, text, texts.caption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

}  // namespace

int RemoveProduct(const OwnList& own, const char* folder_argument, bool silent, const UninstallTexts& texts) {
  char folder[kPathSize];
  CopyBounded(folder, folder_argument, sizeof folder);
  const char* own_name = own.path + FileNameOffset(own.path);
  char uninstaller[kPathSize];
  bool named = PathInFolder(uninstaller, folder, own_name);
  // Only a folder that holds this very uninstaller, installed for this
  // package, is the product's: any other would lose files of its own names.
  if (MakeFullPath(folder) != 0 || !named || MakeFullPath(uninstaller) != 0 || !CarriesSameList(uninstaller, own)) {
    return kUninstallWrongArguments;
  }

  CoInitialize(nullptr);
  bool all_now = RemovePackageFiles(own.list, folder, own_name);
  RemoveProductLinks(own.list, folder);
  RemoveProductRegistry(own.list, uninstaller, folder);
  CoUninitialize();
  if (silent) SendOutcome(all_now ? kUninstalled : kUninstallNotAllNow);

  if (!RemoveEndedUninstaller(uninstaller)) all_now = false;
  // Only an empty folder goes; one that still holds files left to the next
  // restart goes after them.
  if (!RemoveDirectoryA(folder) && !all_now) DeleteAtRestart(folder);
  DeleteAtRestart(own.path);
  DeleteAtRestart(own.folder);

  if (!silent) Report(own.list, folder, all_now, texts);
  return all_now ? kUninstalled : kUninstallNotAllNow;
}
