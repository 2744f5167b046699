#include "archive/checksum.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

const Crc32Table& Table() {
  static Crc32Table table;
  static bool built = false;
  if (!built) {
    BuildCrc32Table(&table);
    built = true;
  }
  return table;
}

// The one-byte-per-step definition, as a reference for the faster method.
uint32_t ReferenceCrc32(uint32_t value, const uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    value ^= data[i];
    for (int bit = 0; bit < 8; ++bit) value = (value >> 1) ^ ((value & 1) ? 0xEDB88320u : 0);
  }
  return value;
}

TEST(Crc32, KnownValues) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(Crc32Update(Table(), 0xFFFFFFFF, abc, 3), 0xCADBBE3Du);
  const char* digits = "123456789";
  EXPECT_EQ(~Crc32Update(Table(), 0xFFFFFFFF, reinterpret_cast<const uint8_t*>(digits), 9),
            0xCBF43926u);
  EXPECT_EQ(Crc32Update(Table(), 0x12345678, abc, 0), 0x12345678u);
  // The first slice is the classic table of IEEE 802.3.
  EXPECT_EQ(Table().in_place[0][1], 0x77073096u);
  EXPECT_EQ(Table().in_place[0][255], 0x2D02EF8Du);
}

// Every length and alignment around the eight-byte words and the blocks of
// lanes (from two blocks on) must give the same
// value as the byte-at-a-time definition, and splitting the data anywhere
// must not change the result.
TEST(Crc32, MatchesByteAtATimeForAllLengthsAndSplits) {
  std::mt19937 random(7);
  std::vector<uint8_t> data(700);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random());
  for (size_t offset = 0; offset < 8; ++offset) {
    for (size_t length = 0; length + offset <= data.size(); length += 1 + length / 16) {
      uint32_t expected = ReferenceCrc32(0xFFFFFFFF, data.data() + offset, length);
      ASSERT_EQ(Crc32Update(Table(), 0xFFFFFFFF, data.data() + offset, length), expected)
          << offset << "+" << length;
      size_t split = length / 3;
      uint32_t first = Crc32Update(Table(), 0xFFFFFFFF, data.data() + offset, split);
      ASSERT_EQ(Crc32Update(Table(), first, data.data() + offset + split, length - split),
                expected);
    }
  }
}

TEST(Crc32, MainHeaderOfAFreshArchivePasses) {
  // check value, block type 0x73, flags 0, header size 13, six reserved zeros
  uint8_t header[13] = {0, 0, 0x73, 0, 0, 13, 0, 0, 0, 0, 0, 0, 0};
  uint16_t check = static_cast<uint16_t>(~Crc32Update(Table(), 0xFFFFFFFF, header + 2, 11));
  EXPECT_EQ(check, 0x90CF);
}

TEST(Sum16, KnownValuesAndRotation) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(Sum16Update(0, abc, 3), 0x0556);
  EXPECT_EQ(Sum16Update(0, abc, 0), 0);
  // Bit 15 rotates into bit 0.
  const uint8_t zero = 0;
  EXPECT_EQ(Sum16Update(0x8000, &zero, 1), 0x0001);
  // The addition wraps at 16 bits before the rotation.
  const uint8_t one = 1;
  EXPECT_EQ(Sum16Update(0xFFFF, &one, 1), 0x0000);
}

TEST(ChecksumUpdate, SelectsByMode) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(ChecksumUpdate(Table(), 0, abc, 3, kChecksumSum16), 0x0556u);
  // The sum only looks at the low 16 bits of the running value.
  EXPECT_EQ(ChecksumUpdate(Table(), 0xABCD0000, abc, 3, kChecksumSum16), 0x0556u);
  EXPECT_EQ(ChecksumUpdate(Table(), 0xFFFFFFFF, abc, 3, kChecksumCrc32), 0xCADBBE3Du);
  EXPECT_EQ(ChecksumUpdate(Table(), 0xFFFFFFFF, abc, 3, 0), 0xCADBBE3Du);
}

}  // namespace
