#include "archive/checksum.h"

#include <cstring>

void BuildCrc32Table(Crc32Table* table) {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = (value >> 1) ^ (0xEDB88320u & (0u - (value & 1)));
    table->slice[0][i] = value;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (int k = 1; k < 8; ++k) {
      uint32_t previous = table->slice[k - 1][i];
      table->slice[k][i] = (previous >> 8) ^ table->slice[0][previous & 0xFF];
    }
  }
}

uint32_t Crc32Update(const Crc32Table& table, uint32_t value, const uint8_t* data, size_t count) {
  const uint32_t(*t)[256] = table.slice;
  // Eight bytes per step: the low four are folded into the running value,
  // each byte is looked up in the slice that accounts for the bytes after it.
  while (count >= 8) {
    uint32_t low = (uint32_t)data[0] | (uint32_t)data[1] << 8 | (uint32_t)data[2] << 16 |
                   (uint32_t)data[3] << 24;
    low ^= value;
    value = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
            t[4][low >> 24] ^ t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    data += 8;
    count -= 8;
  }
  while (count-- > 0) value = t[0][(value ^ *data++) & 0xFF] ^ (value >> 8);
  return value;
}

uint16_t Sum16Update(uint16_t value, const uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    value = static_cast<uint16_t>(value + data[i]);
    value = static_cast<uint16_t>((value << 1) | (value >> 15));
  }
  return value;
}

uint32_t ChecksumUpdate(const Crc32Table& table, uint32_t value, const uint8_t* data,
                        size_t count, int mode) {
  if (mode == kChecksumSum16) return Sum16Update(static_cast<uint16_t>(value), data, count);
  return Crc32Update(table, value, data, count);
}
