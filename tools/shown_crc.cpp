#include "tools/shown_crc.h"

#include <cstdio>

std::string ShownCrc(uint32_t crc) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", crc);
  return text;
}
