// The bytes of a UTF-16 text file as Windows programs write it: the
// little-endian byte-order mark, then the characters, no terminator.
#pragma once

#include <cwchar>
#include <string>

inline std::string Utf16FileBytes(const wchar_t* text) {
  std::string bytes("\xFF\xFE", 2);
  bytes.append(reinterpret_cast<const char*>(text), std::wcslen(text) * sizeof(wchar_t));
  return bytes;
}
