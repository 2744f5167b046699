#include "uninstall/hand_over.h"

#include <windows.h>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "uninstall/uninstall_exit.h"

namespace {

// The copy's folder in the temporary folder is this followed by a number.
const char kCopyFolderPrefix[] = "Uninstall-";
// Numbers tried before giving up: far more folders than anything leaves.
constexpr unsigned kCopyFolderTries = 1000;

// The copy's command line: its quoted path, /S and /D= with the folder.
constexpr size_t kCommandSize = 2 * kPathSize + 16;

// Makes a new folder of the copy's own in the temporary folder: the first
// "Uninstall-N" that is created now, so that a folder someone else made
// (with a DLL planted in it) is never used.
bool MakeCopyFolder(char* folder) {
  char temp[kPathSize];
  DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length >= sizeof temp) return false;
  for (unsigned number = 1; number <= kCopyFolderTries; ++number) {
    // Four digits: no number tried has more.
    char name[sizeof kCopyFolderPrefix + 4];
    wsprintfA(name, "%s%04u", kCopyFolderPrefix, number);
    if (!PathInFolder(folder, temp, name)) return false;
    // An empty folder of the name is what an earlier uninstallation left
    // where the restart deletes files but not folders (the 9x family's
    // wininit.ini): it goes now, and the name is made anew.
    RemoveDirectoryA(folder);
    if (CreateDirectoryA(folder, nullptr)) return true;
    if (CheckFileExists(folder) != 0) return false;  // not taken, but not makeable either
  }
  return false;
}

// A file that another program holds open cannot be opened without sharing.
bool IsInUse(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Asks until no file of the package but this program is in use; false
// when the user cancels. Checked before anything is removed, so that a
// running product is never left half removed.
bool WaitUntilFilesAreFree(const OwnList& own, const UninstallTexts& texts) {
  const char* own_name = own.path + FileNameOffset(own.path);
  const char* name = own.list.first_name;
  for (uint32_t i = 0; i < own.list.name_count; ++i, name = NextUninstallName(name)) {
    char path[kPathSize];
    if (lstrcmpiA(name, own_name) == 0 || !PathInFolder(path, own.folder, name)) continue;
    while (IsInUse(path)) {
      char text[kMessageSize] = "";
      AppendComposed(text, sizeof text, texts.in_use, name, "");
      if (MessageBoxA(nullptr, text, texts.caption, MB_RETRYCANCEL | MB_ICONEXCLAMATION | MB_SETFOREGROUND) !=
          IDRETRY) {
        return false;
      }
    }
  }
  return true;
}

// Starts `copy` in its own folder, so that it holds neither the product's
// folder nor the one this program was started in. Silent, its standard
// output is a pipe through which it sends its outcome, which lands in
// `*outcome`. False when it cannot be started.
bool StartCopy(const char* copy, const char* copy_folder, const char* folder, bool silent, int* outcome) {
  char command[kCommandSize] = "\"";
  AppendBounded(command, copy, sizeof command);
  AppendBounded(command, silent ? "\" /S /D=" : "\" /D=", sizeof command);
  AppendBounded(command, folder, sizeof command);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  HANDLE verdict_read = nullptr;
  HANDLE verdict_write = nullptr;
  if (silent) {
    HANDLE write = nullptr;
    if (!CreatePipe(&verdict_read, &write, nullptr, 0)) return false;
    // Only the writing end is inherited: the copy's own end of the pipe.
    DuplicateHandle(GetCurrentProcess(), write, GetCurrentProcess(), &verdict_write, 0, TRUE, DUPLICATE_SAME_ACCESS);
    CloseHandle(write);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = verdict_write;
  }
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessA(copy, command, nullptr, nullptr, silent ? TRUE : FALSE, 0, nullptr, copy_folder,
                                &startup, &process);
  if (verdict_write != nullptr) CloseHandle(verdict_write);
  if (started) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    *outcome = kUninstalled;
    if (silent) {
      // The copy sends one byte once all but this program's file is done;
      // a copy that ends without it has not done its work.
      char verdict = 0;
      DWORD read = 0;
      bool sent = ReadFile(verdict_read, &verdict, 1, &read, nullptr) && read == 1;
      *outcome = sent ? verdict : static_cast<char>(kUninstallNotAllNow);
    }
  }
  if (verdict_read != nullptr) CloseHandle(verdict_read);
  return started != FALSE;
}

}  // namespace

const char* DisplayName(const UninstallList& list, const char* folder) {
  if (list.product[0] != '\0') return list.product;
  return list.main_program[0] != '\0' ? list.main_program : folder;
}

int HandOver(const OwnList& own, bool silent, const UninstallTexts& texts) {
  const char* shown = DisplayName(own.list, own.folder);
  if (!silent) {
    char question[kMessageSize] = "";
    AppendComposed(question, sizeof question, texts.question, shown, own.folder);
    if (MessageBoxA(nullptr, question, texts.caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES) {
      return kUninstallDeclined;
    }
    if (!WaitUntilFilesAreFree(own, texts)) return kUninstallDeclined;
  }

  int outcome = kUninstallNotAllNow;
  char copy_folder[kPathSize];
  if (MakeCopyFolder(copy_folder)) {
    char copy[kPathSize];
    bool copied =
        PathInFolder(copy, copy_folder, own.path + FileNameOffset(own.path)) && CopyFileA(own.path, copy, TRUE);
    if (copied && StartCopy(copy, copy_folder, own.folder, silent, &outcome)) return outcome;
    if (copied) DeleteFileA(copy);
    RemoveDirectoryA(copy_folder);
  }
  if (!silent) {
    char text[kMessageSize] = "";
    AppendComposed(text, sizeof text, texts.no_copy, shown, "");
    MessageBoxA(nullptr, text, texts.caption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  }
  return kUninstallNotAllNow;
}
