// Bit output, slot splitting and Huffman code construction: the pieces whose
// exact bit patterns the decoder depends on.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pack/bit_writer.h"
#include "pack/huffman_code.h"
#include "pack/lz_format.h"

namespace pack {
namespace {

TEST(BitWriter, WritesHighestBitFirstAndPadsWithZeros) {
  BitWriter out;
  out.Write(1, 1);        // 1
  out.Write(0x2, 3);      // 010
  out.Write(0xABCD, 16);  // 1010101111001101
  out.Write(0x7, 2);      // only the low two bits: 11
  EXPECT_EQ(out.BitCount(), 22u);
  out.AlignToByte();
  std::vector<uint8_t> bytes;
  out.TakeBytes(&bytes);
  // 1010 1010 | 1011 1100 | 1101 1100
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xAA, 0xBC, 0xDC}));

  // Writes across the four-byte words the writer hands out at once.
  BitWriter words;
  words.Write(0x5, 3);          // 101
  words.Write(0xDEADBEEF, 32);  // 1101 1110 1010 1101 1011 1110 1110 1111
  words.Write(0x1FFFFFFF, 29);  // 29 ones: 64 bits so far
  words.Write(0x3, 2);          // 11
  EXPECT_EQ(words.BitCount(), 66u);
  words.AlignToByte();
  bytes.clear();
  words.TakeBytes(&bytes);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xBB, 0xD5, 0xB7, 0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0xC0}));
}

struct SlotCase {
  const char* what;
  SlotCode (*split)(uint32_t);
  uint32_t value;
  SlotCode expected;
};

TEST(Slots, SplitValuesAtTheDecodersBases) {
  const SlotCase cases[] = {
      {"shortest length", LengthSlot, 0, {0, 0, 0}},
      {"first length with an extra bit", LengthSlot, 8, {8, 1, 0}},
      {"longest length", LengthSlot, 255, {27, 5, 31}},
      {"distance 1", DistanceSlot, 1, {0, 0, 0}},
      {"distance 5 starts slot 4", DistanceSlot, 5, {4, 1, 0}},
      {"distance 0x2000 ends slot 25", DistanceSlot, 0x2000, {25, 11, 2047}},
      {"first distance of the linear slots", DistanceSlot, 0x40001, {36, 16, 0}},
      {"whole window", DistanceSlot, 0x100000, {47, 16, 0xFFFF}},
      {"short distance 1", ShortSlot, 1, {0, 2, 0}},
      {"short distance 17 starts slot 3", ShortSlot, 17, {3, 4, 0}},
      {"short distance 256", ShortSlot, 256, {7, 6, 63}},
  };
  for (const SlotCase& c : cases) {
    SlotCode got = c.split(c.value);
    EXPECT_EQ(got.slot, c.expected.slot) << c.what;
    EXPECT_EQ(got.bits, c.expected.bits) << c.what;
    EXPECT_EQ(got.extra, c.expected.extra) << c.what;
  }
}

TEST(Slots, EveryValueHasExactlyOneSplitThatFitsItsExtraBits) {
  // Walking all values, slots never go back and extra bits always fit.
  uint32_t previous = 0;
  for (uint32_t d = 1; d <= kWindowSize; ++d) {
    SlotCode s = DistanceSlot(d);
    ASSERT_LT(s.extra, 1u << s.bits) << d;
    ASSERT_GE(s.slot, previous) << d;
    ASSERT_TRUE(s.slot == previous || s.extra == 0) << "a new slot starts at its base: " << d;
    previous = s.slot;
  }
  EXPECT_EQ(previous, 47u);
}

TEST(Slots, LengthBonusesFollowTheDistance) {
  struct {
    uint32_t distance, min_new, min_recent;
  } const cases[] = {
      {1, 3, 2},      {0x100, 3, 2},   {0x101, 3, 3},   {0x1FFF, 3, 3},
      {0x2000, 4, 4}, {0x3FFFF, 4, 4}, {0x40000, 5, 5}, {kWindowSize, 5, 5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MinNewMatch(c.distance), c.min_new) << c.distance;
    EXPECT_EQ(MinRecentMatch(c.distance), c.min_recent) << c.distance;
    EXPECT_EQ(MaxNewMatch(c.distance) - MinNewMatch(c.distance), kMaxLengthValue);
  }
}

// Sum of 2^-length over the used symbols, scaled by 2^15.
uint32_t KraftSum(const std::vector<uint8_t>& lengths) {
  uint32_t sum = 0;
  for (uint8_t l : lengths) {
    if (l) sum += 1u << (15 - l);
  }
  return sum;
}

TEST(HuffmanCode, LengthsFormACompleteCodeWithinTheLimit) {
  struct {
    const char* what;
    std::vector<uint32_t> freqs;
  } const cases[] = {
      {"two symbols", {5, 9}},
      {"uniform", std::vector<uint32_t>(298, 7)},
      {"Fibonacci weights want 30-bit codes",
       {1,   1,    2,    3,    5,    8,     13,    21,    34,    55,    89,     144,    233,    377,    610,
        987, 1597, 2584, 4181, 6765, 10946, 17711, 28657, 46368, 75025, 121393, 196418, 317811, 514229, 832040}},
      {"gaps of unused symbols", {0, 3, 0, 0, 1, 0, 1, 0, 0, 0, 9}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> lengths(c.freqs.size());
    BuildCodeLengths(c.freqs.data(), static_cast<int>(c.freqs.size()), 15, lengths.data());
    EXPECT_EQ(KraftSum(lengths), 1u << 15) << c.what;
    for (size_t i = 0; i < lengths.size(); ++i) {
      EXPECT_LE(lengths[i], 15) << c.what;
      EXPECT_EQ(lengths[i] == 0, c.freqs[i] == 0) << c.what << " symbol " << i;
    }
  }
}

TEST(HuffmanCode, LengthsOfKnownCodes) {
  struct {
    const char* what;
    std::vector<uint32_t> freqs;
    int limit;
    std::vector<uint8_t> lengths;
  } const cases[] = {
      {"plain Huffman where the limit does not bind", {1, 1, 2, 4, 8}, 15, {4, 4, 3, 2, 1}},
      // The limit costs as little as possible.
      {"eight symbols in 3 bits all get 3", {1, 1, 1, 1, 1, 1, 2, 100}, 3, {3, 3, 3, 3, 3, 3, 3, 3}},
      {"seven keep one 2-bit code for the heaviest", {1, 1, 1, 1, 1, 2, 100}, 3, {3, 3, 3, 3, 3, 3, 2}},
      {"a single used symbol still gets a code", {0, 0, 42, 0}, 15, {0, 0, 1, 0}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> lengths(c.freqs.size());
    BuildCodeLengths(c.freqs.data(), static_cast<int>(c.freqs.size()), c.limit, lengths.data());
    EXPECT_EQ(lengths, c.lengths) << c.what;
  }
}

TEST(HuffmanCode, CanonicalCodesAreOrderedByLengthThenSymbol) {
  // The decoder rebuilds lengths 2, 1, 3, 3 as codes 10, 0, 110, 111.
  const uint8_t lengths[] = {2, 1, 3, 3, 0};
  uint16_t codes[5];
  AssignCanonicalCodes(lengths, 5, codes);
  EXPECT_EQ(codes[0], 0x2);
  EXPECT_EQ(codes[1], 0x0);
  EXPECT_EQ(codes[2], 0x6);
  EXPECT_EQ(codes[3], 0x7);
}

TEST(HuffmanCode, RandomFrequenciesNeverBreakTheLimitOrCompleteness) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    int n = 2 + static_cast<int>(random() % 297);
    std::vector<uint32_t> freqs(n);
    for (uint32_t& f : freqs) f = random() % 3 == 0 ? 0 : 1u << (random() % 24);
    freqs[0] = 1;
    freqs[n - 1] = 1;
    std::vector<uint8_t> lengths(n);
    BuildCodeLengths(freqs.data(), n, 15, lengths.data());
    ASSERT_EQ(KraftSum(lengths), 1u << 15) << round;
    for (uint8_t l : lengths) ASSERT_LE(l, 15);
  }
}

}  // namespace
}  // namespace pack
