#include "uninstall/product_registry.h"

#include <windows.h>

#include <cstring>

#include "common/path_helpers.h"
#include "install/registry_value.h"

namespace {

// Whether the command is the path of `program`, with or without the quotes
// that keep a path with blanks one.
bool NamesProgram(const char* command, const char* program) {
  size_t length = std::strlen(command);
  if (length >= 2 && command[0] == '"' && command[length - 1] == '"') {
    char unquoted[kPathSize];
    std::memcpy(unquoted, command + 1, length - 2);
    unquoted[length - 2] = '\0';
    return lstrcmpiA(unquoted, program) == 0;
  }
  return lstrcmpiA(command, program) == 0;
}

void RemoveUninstallEntries(const char* uninstaller) {
  HKEY entries;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WRITE, &entries) != ERROR_SUCCESS) return;
  // A deleted key moves the later ones down one index.
  for (DWORD index = 0;;) {
    char name[kPathSize];
    DWORD name_size = sizeof name;
    if (RegEnumKeyExA(entries, index, name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY entry;
    char command[kPathSize] = "";
    if (RegOpenKeyExA(entries, name, 0, KEY_READ, &entry) == ERROR_SUCCESS) {
      ReadKeyText(entry, "UninstallString", command, sizeof command);
      RegCloseKey(entry);
    }
    if (NamesProgram(command, uninstaller) && RegDeleteKeyA(entries, name) == ERROR_SUCCESS) continue;
    ++index;
  }
  RegCloseKey(entries);
}

void ForgetRememberedFolder(const char* package_id, const char* folder) {
  HKEY remembered;
  if (package_id[0] == '\0' ||
      RegOpenKeyExA(HKEY_CURRENT_USER, kRememberedFoldersKey, 0, KEY_READ | KEY_WRITE, &remembered) != ERROR_SUCCESS) {
    return;
  }
  // Another installation of the product, made later elsewhere, keeps its
  // folder remembered.
  char value[kPathSize];
  ReadKeyText(remembered, package_id, value, sizeof value);
  if (lstrcmpiA(value, folder) == 0) RegDeleteValueA(remembered, package_id);
  DWORD keys = 1;
  DWORD values = 1;
  RegQueryInfoKeyA(remembered, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(remembered);
  if (keys == 0 && values == 0) RegDeleteKeyA(HKEY_CURRENT_USER, kRememberedFoldersKey);
}

}  // namespace

void RemoveProductRegistry(const UninstallList& list, const char* uninstaller, const char* folder) {
  RemoveUninstallEntries(uninstaller);
  ForgetRememberedFolder(list.package_id, folder);
}
