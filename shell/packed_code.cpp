#include "shell/packed_code.h"

uint32_t PackCode(const char* text, size_t count) {
  uint32_t code = 0;
  for (size_t i = 0; i < count && i < 4 && text[i] != '\0'; ++i) {
    code |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
  }
  return code;
}

void UnpackCode(uint32_t code, char text[5]) {
  for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((code >> (8 * i)) & 0xFF);
  text[4] = '\0';
}
