#include "archive/checksum.h"

#include <cstring>

#include "archive/crc32_folding.h"

void BuildCrc32Table(Crc32Table* table) {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = (value >> 1) ^ (0xEDB88320u & (0u - (value & 1)));
    table->in_place[0][i] = value;
  }
  // One more zero byte after the byte: one more step of the one-byte table.
  constexpr int kAheadStart = kCrc32Lanes * 8 - 8;
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = table->in_place[0][i];
    for (int zeros = 1; zeros < kAheadStart + 8; ++zeros) {
      value = (value >> 8) ^ table->in_place[0][value & 0xFF];
      if (zeros < 8) table->in_place[zeros][i] = value;
      if (zeros >= kAheadStart) table->ahead[zeros - kAheadStart][i] = value;
    }
  }
  table->folding = Crc32FoldingAvailable() ? 1 : 0;
}

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// The CRC contribution of the eight message bytes at p, the first four
// XORed with `carry`, each byte followed by the zeros that `t` accounts for
// beyond the rest of the eight. The last four bytes index their tables
// straight from memory: that takes no shifts, and on 32-bit machines no
// second register for a 64-bit word.
uint32_t FoldWord(const uint32_t (*t)[256], const uint8_t* p, uint32_t carry) {
  uint32_t v = Le32(p) ^ carry;
  return t[7][v & 0xFF] ^ t[6][(v >> 8) & 0xFF] ^ t[5][(v >> 16) & 0xFF] ^ t[4][v >> 24] ^ t[3][p[4]] ^ t[2][p[5]] ^
         t[1][p[6]] ^ t[0][p[7]];
}

}  // namespace

uint32_t Crc32Update(const Crc32Table& table, uint32_t value, const uint8_t* data, size_t count) {
  if (table.folding && count >= kCrc32FoldMinimum) {
    size_t folded = count & ~(kCrc32FoldStep - 1);
    value = Crc32Fold(value, data, folded);
    data += folded;
    count -= folded;
  }
  constexpr size_t kBlock = kCrc32Lanes * 8;
  // The CRC is linear: the register after a message is the XOR of what each
  // part of it contributes with zeros in place of the others. So the data is
  // split into lanes of 8-byte words, word k of every block going to lane k;
  // each lane folds its word and carries the result (a 32-bit contribution)
  // one block forward, into its next word, without waiting for the others.
  // The last block is folded in order, which merges the lanes.
  if (count >= 2 * kBlock) {
    uint32_t carry[kCrc32Lanes] = {value};
    size_t blocks = count / kBlock;
    for (size_t b = 1; b < blocks; ++b, data += kBlock) {
#pragma GCC unroll 8
      for (int k = 0; k < kCrc32Lanes; ++k) carry[k] = FoldWord(table.ahead, data + 8 * k, carry[k]);
    }
    value = 0;
    for (int k = 0; k < kCrc32Lanes; ++k) value = FoldWord(table.in_place, data + 8 * k, carry[k] ^ value);
    data += kBlock;
    count -= blocks * kBlock;
  }
  for (; count >= 8; count -= 8, data += 8) value = FoldWord(table.in_place, data, value);
  while (count-- > 0) value = table.in_place[0][(value ^ *data++) & 0xFF] ^ (value >> 8);
  return value;
}

uint16_t Sum16Update(uint16_t value, const uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    value = static_cast<uint16_t>(value + data[i]);
    value = static_cast<uint16_t>((value << 1) | (value >> 15));
  }
  return value;
}

uint32_t ChecksumUpdate(const Crc32Table& table, uint32_t value, const uint8_t* data, size_t count, int mode) {
  if (mode == kChecksumSum16) return Sum16Update(static_cast<uint16_t>(value), data, count);
  return Crc32Update(table, value, data, count);
}

bool Crc32OfFile(FILE* file, const Crc32Table& table, uint32_t* crc, uint32_t count) {
  uint8_t chunk[512];
  while (count > 0) {
    uint32_t n = count < sizeof chunk ? count : static_cast<uint32_t>(sizeof chunk);
    if (fread(chunk, 1, n, file) != n) return false;
    *crc = Crc32Update(table, *crc, chunk, n);
    count -= n;
  }
  return true;
}
