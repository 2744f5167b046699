#include "common/product_name.h"

#include <cstring>

namespace {

bool EndsAName(char c) { return c == ' ' || c == '.'; }

}  // namespace

void TrimProductName(char* name) {
  size_t length = std::strlen(name);
  while (length > 0 && EndsAName(name[length - 1])) --length;
  name[length] = '\0';
}

bool IsUsableProductName(const char* name) {
  size_t length = std::strlen(name);
  if (length == 0 || EndsAName(name[length - 1])) return false;
  if (std::strstr(name, "..") != nullptr) return false;
  for (const char* c = name; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20 || std::strchr("\\/:*?\"<>|", *c) != nullptr) return false;
  }
  return true;
}
