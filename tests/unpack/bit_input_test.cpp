#include "unpack/bit_input.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/archive/test_context.h"
#include "tests/support/scratch.h"

namespace {

TEST(BitInput, PeekTakesSixteenBitsFromTheCurrentBitAndSkipMovesOn) {
  TestContext context;
  context.input()->in_buf[5] = 0xA5;
  context.input()->in_buf[6] = 0x3C;
  context.input()->in_buf[7] = 0xFF;
  context.input()->in_pos = 5;
  context.input()->in_bit = 3;
  EXPECT_EQ(PeekBits(context.input()), 0x29E7u);
  SkipBits(context.input(), 7);
  EXPECT_EQ(context.input()->in_pos, 6u);
  EXPECT_EQ(context.input()->in_bit, 2u);
  SkipBits(context.input(), 0);
  EXPECT_EQ(context.input()->in_pos, 6u);
  SkipBits(context.input(), 16);
  EXPECT_EQ(context.input()->in_pos, 8u);
  EXPECT_EQ(context.input()->in_bit, 2u);
}

// Fields of random widths read as peek-and-skip must give back exactly the
// bits a plain one-bit-at-a-time reader sees, most significant first.
TEST(BitInput, FieldsMatchABitByBitReader) {
  TestContext context;
  std::mt19937 random(11);
  for (uint32_t i = 0; i < kInputBufferSize; ++i) context.input()->in_buf[i] = static_cast<uint8_t>(random());
  uint64_t bit_index = 0;
  while (context.input()->in_pos < kInputBufferSize - 4) {
    uint32_t width = 1 + random() % 16;
    uint32_t expected = 0;
    for (uint32_t b = 0; b < width; ++b, ++bit_index) {
      uint8_t byte = context.input()->in_buf[bit_index / 8];
      expected = expected << 1 | ((byte >> (7 - bit_index % 8)) & 1);
    }
    ASSERT_EQ(PeekBits(context.input()) >> (16 - width), expected) << "at bit " << bit_index;
    SkipBits(context.input(), width);
    ASSERT_EQ(context.input()->in_pos * 8 + context.input()->in_bit, bit_index);
  }
}

// Reads stop at the packed size and at the file's end, and read nothing
// without an archive or with a size of 2 GiB or more.
TEST(BitInput, ReadPackedStopsAtThePackedSizeOrTheFilesEnd) {
  struct {
    const char* why;
    int file_bytes;  // -1: no archive
    int32_t packed;
    std::vector<int> asked, given;  // one read each
  } const cases[] = {
      {"the packed size ends the reads", 100, 60, {40, 100, 10}, {40, 20, 0}},
      {"a short file gives what it holds", 30, 50, {64, 64}, {30, 0}},
      {"no archive", -1, 8, {8}, {0}},
      {"a negative size", 8, static_cast<int32_t>(0x80000000u), {8}, {0}},
  };
  for (const auto& c : cases) {
    TestContext context;
    std::string bytes = PatternBytes(c.file_bytes < 0 ? 0 : c.file_bytes);
    if (c.file_bytes >= 0) context.SetInput(ScratchFolder() + "packed", bytes, c.packed);
    context.input()->packed_left = c.packed;
    uint8_t out[200] = {};
    int total = 0;
    for (size_t i = 0; i < c.asked.size(); ++i) {
      EXPECT_EQ(ReadPacked(context.input(), out + total, c.asked[i]), c.given[i]) << c.why << ", read " << i;
      total += c.given[i];
    }
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), total), bytes.substr(0, total)) << c.why;
    EXPECT_EQ(out[total], 0) << c.why << ": read past what was given";
  }
}

// An entry of 8192 + 8160 bytes ends exactly at a buffer boundary: the first
// continuation brings the rest, the second gets nothing and in_top falls to
// in_pos. The carried bytes keep the current byte under in_pos.
TEST(BitInput, ContinuationKeepsTheCurrentByteAndStopsAtTheEnd) {
  TestContext context;
  const int32_t entry = 8192 + 8160;
  std::string bytes = PatternBytes(entry + 100);  // bytes after the entry are not its own
  context.SetInput(ScratchFolder() + "packed", bytes, entry);
  FillInput(context.input(), true);
  EXPECT_EQ(context.input()->in_top, 8192u);
  EXPECT_EQ(context.input()->in_pos, 0u);
  EXPECT_EQ(context.input()->in_buf[8191], static_cast<uint8_t>(bytes[8191]));

  context.input()->in_pos = 8170;
  context.input()->in_bit = 5;
  uint32_t before = PeekBits(context.input());
  FillInput(context.input(), false);
  EXPECT_EQ(context.input()->in_pos, 10u);
  EXPECT_EQ(context.input()->in_bit, 5u);
  EXPECT_EQ(context.input()->in_top, 8192u);
  EXPECT_EQ(PeekBits(context.input()), before);
  EXPECT_EQ(context.input()->in_buf[8191], static_cast<uint8_t>(bytes[entry - 1]));

  context.input()->in_pos = 8165;
  FillInput(context.input(), false);
  EXPECT_EQ(context.input()->in_pos, 5u);
  EXPECT_EQ(context.input()->in_top, 5u);
}

}  // namespace
