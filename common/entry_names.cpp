#include "common/entry_names.h"

#include <cstdint>
#include <cstring>

#include "common/path_helpers.h"

namespace {

// The upper-case form of a Windows-1252 letter, as Windows compares file
// names; other bytes (and letters without one, such as 0xDF) stay.
uint8_t Windows1252Upper(uint8_t byte) {
  if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7)) {
    return static_cast<uint8_t>(byte - 0x20);
  }
  if (byte == 0x9A || byte == 0x9C || byte == 0x9E) return static_cast<uint8_t>(byte - 0x10);  // š œ ž
  if (byte == 0xFF) return 0x9F;                                                               // ÿ
  return byte;
}

bool SameNoCase(const char* a, const char* b, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (Windows1252Upper(static_cast<uint8_t>(a[i])) != Windows1252Upper(static_cast<uint8_t>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The installer's fault of one component of `length` bytes, the last one
// when `last`. An empty component between two separators is no fault:
// Windows reads the two as one.
int ComponentFault(const char* part, size_t length, bool last) {
  if (length == 0) return last ? kNameFolder : kNameFine;
  if (IsDeviceName(part, length)) return kNameDevice;
  if (part[length - 1] == '.' || part[length - 1] == ' ') return kNameTrailing;
  return kNameFine;
}

}  // namespace

int InstallerNameFault(const char* name) {
  if (std::strchr(name, ':') != nullptr) return kNameStream;
  const char* part = name;
  for (;;) {
    size_t length = std::strcspn(part, "\\/");
    bool last = part[length] == '\0';
    int fault = ComponentFault(part, length, last);
    if (fault != kNameFine || last) return fault;
    part += length + 1;
  }
}

bool IsDeviceName(const char* component, size_t length) {
  size_t base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (base == std::strlen(device) && SameNoCase(component, device, base)) return true;
  }
  if (base != 4 || !(SameNoCase(component, "COM", 3) || SameNoCase(component, "LPT", 3))) return false;
  unsigned char digit = static_cast<unsigned char>(component[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

void FoldEntryName(const char* name, char* out, size_t size) {
  if (size == 0) return;
  size_t i = 0;
  for (; i + 1 < size && name[i] != '\0'; ++i) {
    out[i] = IsPathSeparator(name[i]) ? '\\' : static_cast<char>(Windows1252Upper(static_cast<uint8_t>(name[i])));
  }
  out[i] = '\0';
}

bool EndsWithNoCase(const char* text, const char* tail) {
  size_t length = std::strlen(text);
  size_t tail_length = std::strlen(tail);
  return length > tail_length && SameNoCase(text + length - tail_length, tail, tail_length);
}
