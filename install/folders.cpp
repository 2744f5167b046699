#include "install/folders.h"

#include <shellapi.h>

#include <cstdint>
#include <cstring>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/install_progress.h"
#include "install/undo_journal.h"
#include "shell/install_log.h"
#include "shell/messages.h"

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

// An existing PSAPI.DLL is given the lasting name KVPSAPI.DLL rather than
// replaced, which works while a program has it loaded.
const char kPsapiName[] = "PSAPI.DLL";
const char kPsapiMovedName[] = "KVPSAPI.DLL";

// A silent installation lets the shell show neither progress nor errors.
FILEOP_FLAGS SilentShellFlags() { return IsSilentRun() ? FOF_SILENT | FOF_NOERRORUI : 0; }

// The first plain file in `folder` into `name`; false when none is left.
bool FindFirstFileIn(const char* folder, char* name, size_t size) {
  char pattern[kPathSize];
  if (!PathInFolder(pattern, folder, "*")) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool any = false;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      any = CopyBounded(name, found.cFileName, size) == kTextWhole;
      break;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return any;
}

}  // namespace

DWORD MoveFilesInto(const char* from, UndoJournal* journal, char* failed) {
  char name[kPathSize];
  // Each file found is moved away before the next search, so the listing
  // never runs over a folder that changes under it.
  while (FindFirstFileIn(from, name, sizeof name)) {
    // The dialog answers meanwhile, and its Cancel stops the move.
    if (ServeRunningInstallation(true)) return ERROR_CANCELLED;
    char source[kPathSize];
    // A path that does not fit leaves at least the folder named in `failed`.
    CopyBounded(failed, journal->folder, kPathSize);
    if (!PathInFolder(source, from, name) || !PathInFolder(failed, journal->folder, name)) {
      return ERROR_FILENAME_EXCED_RANGE;
    }
    // MoveFileA also moves across drives, on both families.
    if (!MakeWayFor(journal, failed) || !MoveFileA(source, failed)) {
      DWORD error = GetLastError();
      return error != ERROR_SUCCESS ? error : ERROR_CANNOT_MAKE;
    }
    // A move that reports success but leaves the file where it was would
    // find the same name again, for ever.
    if (CheckFileExists(source) == 0) return ERROR_CANNOT_MAKE;
    LogLine("moved %s", failed);
  }
  failed[0] = '\0';
  RemoveDirectoryA(from);
  return ERROR_SUCCESS;
}

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

void MoveAsidePsapi(UndoJournal* journal) { RenameNoted(journal, kPsapiName, kPsapiMovedName); }

bool IsPsapiMovedAside(const char* path) {
  if (_stricmp(path + FileNameOffset(path), kPsapiName) != 0) return false;
  char moved[kPathSize];
  CopyBounded(moved, path, sizeof moved);
  CutLastComponent(moved);
  return JoinPath(moved, kPsapiMovedName, sizeof moved) == kTextWhole && CheckFileExists(moved) != 0;
}

int ShowSystemError(HWND owner, DWORD code, const char* caption, UINT buttons) {
  if (code == 0) code = GetLastError();
  if (code == 0) return 0;
  char* system_text = nullptr;
  // Inserts are ignored: there are no arguments to fill them from, and a
  // message with %1 would otherwise read arguments that do not exist.
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&system_text), 0, nullptr);
  char text[512] = {};
  if (length != 0 && system_text != nullptr) CopyBounded(text, system_text, sizeof text);
  if (system_text != nullptr) LocalFree(system_text);
  if (text[0] == '\0') return IDCANCEL;
  return ShowMessage(owner, text, caption != nullptr ? caption : "", MB_ICONERROR | buttons);
}
