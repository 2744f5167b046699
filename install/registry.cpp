#include "install/registry.h"

#include <windows.h>

#include <cstring>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/install_context.h"
#include "install/ready_uninstaller.h"
#include "install/registry_value.h"
#include "shell/install_log.h"
#include "shell/setup_state.h"

namespace {

const char kWindowsVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// ReadKeyText of the key `key_name` under `root`; the empty text when the
// key cannot be opened.
void ReadStringValue(HKEY root, const char* key_name, const char* value_name, char* out, size_t size) {
  out[0] = '\0';
  HKEY key;
  if (RegOpenKeyExA(root, key_name, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  ReadKeyText(key, value_name, out, size);
  RegCloseKey(key);
}

// `where` names the root and key for the log of a silent installation.
void SetStringValue(HKEY key, const char* where, const char* value_name, const char* text) {
  // The stored size counts the terminating zero.
  if (RegSetValueExA(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>(strlen(text) + 1)) == ERROR_SUCCESS) {
    LogLine("registry %s\\%s = %s", where, value_name, text);
  }
}

// The product's own key under Uninstall, into `key_name` (512 bytes);
// false when the product has no name, which would name Uninstall itself.
bool UninstallKeyName(char* key_name, size_t size) {
  const SetupState* state = g_setup_state;
  if (state->group[0] == '\0') return false;
  CopyBounded(key_name, kUninstallKey, size);
  AppendBounded(key_name, "\\", size);
  AppendBounded(key_name, state->group, size);
  return true;
}

void SetNumberValue(HKEY key, const char* where, const char* value_name, DWORD number) {
  if (RegSetValueExA(key, value_name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number) ==
      ERROR_SUCCESS) {
    LogLine("registry %s\\%s = %lu", where, value_name, static_cast<unsigned long>(number));
  }
}

// A value that only some installations have: set when there is a text,
// else removed, so that an earlier version's does not outlive it.
void SetOptionalValue(HKEY key, const char* where, const char* value_name, const char* text) {
  if (text[0] != '\0') {
    SetStringValue(key, where, value_name, text);
  } else {
    RegDeleteValueA(key, value_name);
  }
}

// `file_name` in `folder`, in double quotes, into `out` (kPathSize + 2
// bytes). Bare, a path with blanks in a command would run the first file
// that its words name (C:\Program.exe for C:\Program Files\...). False
// when the path does not fit kPathSize.
bool QuotedPath(char* out, const char* folder, const char* file_name) {
  char path[kPathSize];
  if (!PathInFolder(path, folder, file_name)) return false;
  CopyBounded(out, "\"", kPathSize + 2);
  AppendBounded(out, path, kPathSize + 2);
  AppendBounded(out, "\"", kPathSize + 2);
  return true;
}

bool CreateKeyForWriting(HKEY root, const char* key_name, HKEY* key) {
  return RegCreateKeyExA(root, key_name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key, nullptr) ==
         ERROR_SUCCESS;
}

// A system call that fills `out` and returns the length written, or the
// size it would need when `out` is too small: anything but a fitting length
// leaves the empty text.
void KeepIfFits(DWORD length, char* out, size_t size) {
  if (length == 0 || length >= size) out[0] = '\0';
}

// The Program Files folder from the first source that knows it.
void ProgramFilesFolder(char* out, size_t size) {
  char value[kPathSize];
  ReadProgramFilesDir(value);
  CopyBounded(out, value, size);
  if (out[0] != '\0') return;

  KeepIfFits(GetEnvironmentVariableA("ProgramFiles", out, static_cast<DWORD>(size)), out, size);
  if (out[0] != '\0') return;

  // Last resort: beside the Windows folder, "Programme" where a German
  // system has it, else "Program Files".
  KeepIfFits(GetWindowsDirectoryA(out, static_cast<UINT>(size)), out, size);
  if (out[0] == '\0') return;
  CutLastComponent(out);
  AddTrailingSeparator(out, size);
  size_t parent_length = strlen(out);
  AppendBounded(out, "Programme", size);
  if (CheckFileExists(out) != 0) {
    out[parent_length] = '\0';
    AppendBounded(out, "Program Files", size);
  }
}

}  // namespace

void ReadProgramFilesDir(char* out) {
  ReadStringValue(HKEY_LOCAL_MACHINE, kWindowsVersionKey, "ProgramFilesDir", out, kPathSize);
}

void GetDefaultDestination(char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  const SetupState* state = g_setup_state;
  if (state->package_id[0] != '\0') {
    // The folder of the last installation comes back exactly as saved.
    ReadStringValue(HKEY_CURRENT_USER, kRememberedFoldersKey, state->package_id, out, size);
    if (out[0] != '\0') return;
  }
  // Without a product name the proposal would be Program Files itself.
  if (state->group[0] == '\0') return;
  ProgramFilesFolder(out, size);
  if (out[0] == '\0') return;
  JoinPath(out, state->group, size);
}

void SaveInstallPath(const char* folder) {
  const SetupState* state = g_setup_state;
  if (state->package_id[0] == '\0') return;
  HKEY key;
  if (!CreateKeyForWriting(HKEY_CURRENT_USER, kRememberedFoldersKey, &key)) return;
  SetStringValue(key, "HKCU\\Software\\Tolvenwark", state->package_id, folder);
  RegCloseKey(key);
}

void WriteUninstallEntry(const InstallContext* context) {
  const SetupState* state = g_setup_state;
  char command[kPathSize + 2];
  if (!QuotedPath(command, context->destination, context->uninstaller)) return;
  // The main program's icon, where the package has one.
  char icon[kPathSize + 2];
  CopyBounded(icon, command, sizeof icon);
  char main_program[kPathSize];
  if (context->main_exe[0] != '\0' && PathInFolder(main_program, context->destination, context->main_exe) &&
      CheckFileExists(main_program) == 0) {
    QuotedPath(icon, context->destination, context->main_exe);
  }
  char key_name[512];
  if (!UninstallKeyName(key_name, sizeof key_name)) return;
  HKEY key;
  if (!CreateKeyForWriting(HKEY_LOCAL_MACHINE, key_name, &key)) return;
  char where[sizeof key_name + 5];
  CopyBounded(where, "HKLM\\", sizeof where);
  AppendBounded(where, key_name, sizeof where);
  SetStringValue(key, where, "DisplayName", state->group);
  SetStringValue(key, where, "UninstallString", command);
  // The ready uninstaller also removes the product without a window; with
  // any other, a quiet command left by an earlier version goes.
  char quiet[kPathSize + 5] = "";
  if (IsReadyUninstaller(context->destination, context->uninstaller)) {
    CopyBounded(quiet, command, sizeof quiet);
    AppendBounded(quiet, " /S", sizeof quiet);
  }
  SetOptionalValue(key, where, "QuietUninstallString", quiet);
  SetStringValue(key, where, "DisplayIcon", icon);
  SetOptionalValue(key, where, "DisplayVersion", state->version);
  SetOptionalValue(key, where, "Publisher", state->publisher);
  SetStringValue(key, where, "InstallLocation", context->destination);
  // In KiB, rounded up; no installation comes near the 4 TiB a DWORD holds.
  SetNumberValue(key, where, "EstimatedSize", static_cast<DWORD>((context->installed_bytes + 1023) / 1024));
  SetNumberValue(key, where, "NoModify", 1);
  SetNumberValue(key, where, "NoRepair", 1);
  RegCloseKey(key);
}

void ReadRegisteredUninstaller(char* out) {
  out[0] = '\0';
  char key_name[512];
  if (!UninstallKeyName(key_name, sizeof key_name)) return;
  // Setup writes the command in quotes, two more characters than a full
  // path, and stores its terminator, which is read too.
  char command[kPathSize + 3];
  ReadStringValue(HKEY_LOCAL_MACHINE, key_name, "UninstallString", command, sizeof command);
  const char* path = command;
  size_t length = strlen(command);
  if (command[0] == '"') {
    ++path;
    --length;
    if (length > 0 && path[length - 1] == '"') --length;
  }
  if (length >= kPathSize) return;
  memcpy(out, path, length);
  out[length] = '\0';
}
