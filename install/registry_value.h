// What the installation and the uninstaller both know of the registry: the
// keys that the product's values lie under, and how a string value is read.
#pragma once

#include <windows.h>

#include <cstddef>

// The per-user key whose values are the folders remembered by package ID.
constexpr char kRememberedFoldersKey[] = "Software\\Tolvenwark";
// The system's list of installed programs: a key below it for each.
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The string value `value_name` of the open `key` into `out` (`size`
// bytes). Registry strings need not end in a zero byte (anyone may write
// the per-user value), so the data is read into size - 1 bytes and
// terminated here. A missing, too long or non-string value gives the empty
// text.
inline void ReadKeyText(HKEY key, const char* value_name, char* out, size_t size) {
  DWORD type = 0;
  DWORD data_size = static_cast<DWORD>(size - 1);
  LONG status = RegQueryValueExA(key, value_name, nullptr, &type, reinterpret_cast<BYTE*>(out), &data_size);
  if (status != ERROR_SUCCESS || type != REG_SZ) data_size = 0;
  out[data_size] = '\0';
}
