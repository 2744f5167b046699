#include "install/folders.h"

#include <shellapi.h>

#include <cstdint>
#include <cstring>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/install_log.h"
#include "setup/messages.h"

namespace {

// The shell takes lists of paths, each zero-terminated and the list ended by
// a second zero: one path of up to 259 characters plus two zero bytes.
struct ShellPathList {
  char bytes[kPathSize + 2];
};

// False when the path does not fit whole; a cut path would name something
// else, and the shell would move or delete that.
bool MakePathList(ShellPathList* list, const char* path) {
  memset(list->bytes, 0, sizeof list->bytes);
  return CopyBounded(list->bytes, path, kPathSize) == kTextWhole;
}

// A silent installation lets the shell show neither progress nor errors.
FILEOP_FLAGS SilentShellFlags() { return IsSilentRun() ? FOF_SILENT | FOF_NOERRORUI : 0; }

}  // namespace

int CreateFolderPath(const char* path) {
  if (CreateDirectoryA(path, nullptr)) return kFolderCreated;
  if (GetLastError() != ERROR_PATH_NOT_FOUND) return kFolderNotCreated;
  char parent[kPathSize];
  CopyBounded(parent, path, sizeof parent);
  CutLastComponent(parent);
  // A drive root is never created; reaching one means the drive is missing.
  if (strlen(parent) <= 3) return kFolderNotCreated;
  int parent_result = CreateFolderPath(parent);
  if (parent_result != kFolderCreated) return parent_result;
  return CreateDirectoryA(path, nullptr) ? kFolderCreated : kFolderParentsOnly;
}

int MakeTempFolderName(char* out, size_t size) {
  if (size == 0) return -1;
  DWORD length = GetTempPathA(static_cast<DWORD>(size), out);
  if (length == 0 || length >= size || !AddTrailingSeparator(out, size)) {
    out[0] = '\0';
    return -1;
  }
  const size_t base = strlen(out);
  static const char kDigits[] = "0123456789abcdef";
  // Every number is tried whole or not at all: a number cut to the buffer
  // would repeat a shorter one that was already found taken.
  for (uint32_t n = 1; n != 0; ++n) {
    char digits[9];
    int count = 0;
    for (uint32_t rest = n; rest != 0; rest >>= 4) ++count;
    if (base + count + 1 > size) break;
    digits[count] = '\0';
    for (uint32_t rest = n, at = count; at > 0; rest >>= 4) digits[--at] = kDigits[rest & 15];
    memcpy(out + base, digits, count + 1);
    if (CheckFileExists(out) != 0) return 0;
  }
  out[0] = '\0';
  return -1;
}

int ShellMove(HWND owner, const char* source, const char* target) {
  ShellPathList from;
  ShellPathList to;
  if (!MakePathList(&from, source) || !MakePathList(&to, target)) return -1;
  SHFILEOPSTRUCTA operation = {};
  operation.hwnd = owner;
  operation.wFunc = FO_MOVE;
  operation.pFrom = from.bytes;
  operation.pTo = to.bytes;
  operation.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | SilentShellFlags();
  // The shell shows its own progress and error reports, except in a silent
  // installation.
  if (SHFileOperationA(&operation) != 0 || operation.fAnyOperationsAborted) return -1;
  return 0;
}

void ShellDelete(const char* path) {
  if (CheckFileExists(path) != 0) return;
  ShellPathList list;
  if (!MakePathList(&list, path)) return;
  SHFILEOPSTRUCTA operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = list.bytes;
  // Without FOF_ALLOWUNDO the content is removed for good, not recycled.
  operation.fFlags = FOF_NOCONFIRMATION | SilentShellFlags();
  SHFileOperationA(&operation);
}

void MoveAsidePsapi(const char* folder) {
  if (folder[0] == '\0') return;
  char old_name[kPathSize];
  char new_name[kPathSize];
  CopyBounded(old_name, folder, sizeof old_name);
  CopyBounded(new_name, folder, sizeof new_name);
  // Cut names would rename some other file.
  if (JoinPath(old_name, "PSAPI.DLL", sizeof old_name) != kTextWhole) return;
  if (JoinPath(new_name, "KVPSAPI.DLL", sizeof new_name) != kTextWhole) return;
  // MoveFileA never replaces an existing KVPSAPI.DLL.
  MoveFileA(old_name, new_name);
}

int ShowSystemError(HWND owner, DWORD code, const char* caption) {
  if (code == 0) code = GetLastError();
  if (code == 0) return 0;
  char* system_text = nullptr;
  // Inserts are ignored: there are no arguments to fill them from, and a
  // message with %1 would otherwise read arguments that do not exist.
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&system_text), 0, nullptr);
  char text[512] = {};
  if (length != 0 && system_text != nullptr) CopyBounded(text, system_text, sizeof text);
  if (system_text != nullptr) LocalFree(system_text);
  if (text[0] == '\0') return IDCANCEL;
  return ShowMessage(owner, text, caption != nullptr ? caption : "", MB_ICONERROR);
}
