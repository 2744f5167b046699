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
  context->in_buf[5] = 0xA5;
  context->in_buf[6] = 0x3C;
  context->in_buf[7] = 0xFF;
  context->in_pos = 5;
  context->in_bit = 3;
  EXPECT_EQ(PeekBits(context.get()), 0x29E7u);
  SkipBits(context.get(), 7);
  EXPECT_EQ(context->in_pos, 6u);
  EXPECT_EQ(context->in_bit, 2u);
  SkipBits(context.get(), 0);
  EXPECT_EQ(context->in_pos, 6u);
  SkipBits(context.get(), 16);
  EXPECT_EQ(context->in_pos, 8u);
  EXPECT_EQ(context->in_bit, 2u);
}

// Fields of random widths read as peek-and-skip must give back exactly the
// bits a plain one-bit-at-a-time reader sees, most significant first.
TEST(BitInput, FieldsMatchABitByBitReader) {
  TestContext context;
  std::mt19937 random(11);
  for (uint32_t i = 0; i < kInputBufferSize; ++i) context->in_buf[i] = static_cast<uint8_t>(random());
  uint64_t bit_index = 0;
  while (context->in_pos < kInputBufferSize - 4) {
    uint32_t width = 1 + random() % 16;
    uint32_t expected = 0;
    for (uint32_t b = 0; b < width; ++b, ++bit_index) {
      uint8_t byte = context->in_buf[bit_index / 8];
      expected = expected << 1 | ((byte >> (7 - bit_index % 8)) & 1);
    }
    ASSERT_EQ(PeekBits(context.get()) >> (16 - width), expected) << "at bit " << bit_index;
    SkipBits(context.get(), width);
    ASSERT_EQ(context->in_pos * 8 + context->in_bit, bit_index);
  }
}

TEST(BitInput, ReadPackedStopsAtThePackedSize) {
  TestContext context;
  std::string bytes = PatternBytes(100);
  context.SetInput(ScratchFolder() + "packed", bytes, 60);
  uint8_t out[100] = {};
  EXPECT_EQ(ReadPacked(context.get(), out, 40), 40);
  EXPECT_EQ(context->packed_left, 20);
  EXPECT_EQ(ReadPacked(context.get(), out + 40, 100), 20);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 60), bytes.substr(0, 60));
  EXPECT_EQ(out[60], 0) << "read past the packed size";
  EXPECT_EQ(ReadPacked(context.get(), out, 10), 0);
}

TEST(BitInput, ReadPackedReportsWhatAShortFileGave) {
  TestContext context;
  context.SetInput(ScratchFolder() + "short", PatternBytes(30), 50);
  uint8_t out[64];
  EXPECT_EQ(ReadPacked(context.get(), out, 64), 30);
  EXPECT_EQ(ReadPacked(context.get(), out, 64), 0);
}

TEST(BitInput, ReadPackedWithoutAnArchiveOrWithANegativeSizeReadsNothing) {
  TestContext context;
  uint8_t out[8];
  context->packed_left = 8;
  EXPECT_EQ(ReadPacked(context.get(), out, 8), 0);
  context.SetInput(ScratchFolder() + "packed", PatternBytes(8), static_cast<int32_t>(0x80000000u));
  EXPECT_EQ(ReadPacked(context.get(), out, 8), 0);
}

// An entry of 8192 + 8160 bytes ends exactly at a buffer boundary: the first
// continuation brings the rest, the second gets nothing and in_top falls to
// in_pos. The carried bytes keep the current byte under in_pos.
TEST(BitInput, ContinuationKeepsTheCurrentByteAndStopsAtTheEnd) {
  TestContext context;
  const int32_t entry = 8192 + 8160;
  std::string bytes = PatternBytes(entry + 100);  // bytes after the entry are not its own
  context.SetInput(ScratchFolder() + "packed", bytes, entry);
  FillInput(context.get(), true);
  EXPECT_EQ(context->in_top, 8192u);
  EXPECT_EQ(context->in_pos, 0u);
  EXPECT_EQ(context->in_buf[8191], static_cast<uint8_t>(bytes[8191]));

  context->in_pos = 8170;
  context->in_bit = 5;
  uint32_t before = PeekBits(context.get());
  FillInput(context.get(), false);
  EXPECT_EQ(context->in_pos, 10u);
  EXPECT_EQ(context->in_bit, 5u);
  EXPECT_EQ(context->in_top, 8192u);
  EXPECT_EQ(PeekBits(context.get()), before);
  EXPECT_EQ(context->in_buf[8191], static_cast<uint8_t>(bytes[entry - 1]));

  context->in_pos = 8165;
  FillInput(context.get(), false);
  EXPECT_EQ(context->in_pos, 5u);
  EXPECT_EQ(context->in_top, 5u);
}

}  // namespace
