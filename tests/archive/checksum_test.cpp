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

// Every length and alignment around the eight-byte words, the blocks of
// lanes (from two blocks on) and the folding's 16 and 64 bytes must give
// the same value as the byte-at-a-time definition, with the tables alone
// and, where this processor has it, with the folding; and splitting the
// data anywhere must not change the result.
TEST(Crc32, MatchesByteAtATimeForAllLengthsAndSplits) {
  std::mt19937 random(7);
  std::vector<uint8_t> data(700);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random());
  Crc32Table tables_only = Table();
  tables_only.folding = 0;
  const Crc32Table* tables[] = {&tables_only, &Table()};
  for (const Crc32Table* table : tables) {
    for (size_t offset = 0; offset < 8; ++offset) {
      for (size_t length = 0; length + offset <= data.size(); length += 1 + length / 16) {
        uint32_t expected = ReferenceCrc32(0xFFFFFFFF, data.data() + offset, length);
        ASSERT_EQ(Crc32Update(*table, 0xFFFFFFFF, data.data() + offset, length), expected)
            << offset << "+" << length << " folding " << table->folding;
        size_t split = length / 3;
        uint32_t first = Crc32Update(*table, 0xFFFFFFFF, data.data() + offset, split);
        ASSERT_EQ(Crc32Update(*table, first, data.data() + offset + split, length - split), expected);
      }
    }
  }
}

// Known values of both checksums, through the call that selects by mode.
TEST(ChecksumUpdate, KnownValuesOfEitherMode) {
  // Block type 0x73, flags 0, header size 13, six reserved zeros: the part
  // after the check value.
  const std::string fresh_main_header("\x73\x00\x00\x0D\x00\x00\x00\x00\x00\x00\x00", 11);
  struct {
    const char* why;
    uint32_t mode, seed;
    std::string data;
    uint32_t expected;
  } const cases[] = {
      {"CRC of \"abc\" before its final inversion", kChecksumCrc32, 0xFFFFFFFF, "abc", 0xCADBBE3D},
      {"the CRC check value of \"123456789\"", kChecksumCrc32, 0xFFFFFFFF, "123456789", ~0xCBF43926u},
      {"no data keeps the running value", kChecksumCrc32, 0x12345678, "", 0x12345678},
      // Its stored check value, 0x90CF, is the low half of the inverted CRC.
      {"a fresh archive's main header", kChecksumCrc32, 0xFFFFFFFF, fresh_main_header, ~0x974290CFu},
      {"any mode but the sum is the CRC", 0, 0xFFFFFFFF, "abc", 0xCADBBE3D},
      {"sum of \"abc\"", kChecksumSum16, 0, "abc", 0x0556},
      {"the sum only looks at the low 16 bits of the running value", kChecksumSum16, 0xABCD0000, "abc", 0x0556},
      {"no data keeps the sum", kChecksumSum16, 0, "", 0},
      {"bit 15 rotates into bit 0", kChecksumSum16, 0x8000, std::string(1, '\0'), 0x0001},
      {"the addition wraps at 16 bits before the rotation", kChecksumSum16, 0xFFFF, "\x01", 0x0000},
  };
  for (const auto& c : cases) {
    const uint8_t* data = reinterpret_cast<const uint8_t*>(c.data.data());
    EXPECT_EQ(ChecksumUpdate(Table(), c.seed, data, static_cast<uint32_t>(c.data.size()), c.mode), c.expected) << c.why;
  }
  // The first slice is the classic table of IEEE 802.3.
  EXPECT_EQ(Table().in_place[0][1], 0x77073096u);
  EXPECT_EQ(Table().in_place[0][255], 0x2D02EF8Du);
}

}  // namespace
