#include "tools/shown_name.h"

#include <cstdint>

#include "common/windows1252.h"

std::string Utf8FromWindows1252(const std::string& text) {
  std::string utf8;
  for (unsigned char byte : text) {
    // Every Windows-1252 character lies below U+10000: three bytes at most.
    uint32_t c = Windows1252ToUnicode(byte);
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

std::string ShownName(const std::string& name) {
#ifdef _WIN32
  return name;
#else
  return Utf8FromWindows1252(name);
#endif
}
