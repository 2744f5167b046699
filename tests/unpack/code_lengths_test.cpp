#include "unpack/code_lengths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/unpack/stream_writer.h"
#include "tests/unpack/unpack_harness.h"

namespace {

size_t BitsConsumed(UnpackHarness& harness) { return harness->input.in_pos * 8 + harness->input.in_bit; }

// The header decides how many lengths follow: 374 in LZ mode, 257 per
// channel in audio mode. A reader that takes the wrong count ends elsewhere
// than the writer. The channel clamp keeps cur_channel below the count.
TEST(CodeLengths, ReadsTheAnnouncedNumberOfLengthsAndClampsTheChannel) {
  const struct {
    bool audio;
    uint32_t channels;
    int32_t channel_before, channel_after;
  } cases[] = {
      {false, 0, 3, 3},                   // LZ mode leaves the channel alone
      {true, 1, 0, 0},  {true, 2, 3, 0},  // 3 is not below 2 channels
      {true, 3, 1, 1},  {true, 4, 3, 3},
  };
  for (const auto& c : cases) {
    UnpackHarness harness;
    StreamWriter writer;
    uint32_t total = c.audio ? 257 * c.channels : 374;
    if (c.audio)
      writer.AudioHeader(c.channels, false);
    else
      writer.Header(false);
    for (uint32_t i = 0; i < total; ++i) writer.PutLengthSymbol(1 + i % 15);
    size_t header_end = writer.bit_count();
    writer.Bits(0, 32);
    harness.Input(writer.bytes());
    harness->cur_channel = c.channel_before;
    ReadCodeLengths(harness.get());
    EXPECT_EQ(BitsConsumed(harness), header_end) << c.channels;
    EXPECT_EQ(harness->audio_mode != 0, c.audio);
    if (c.audio) {
      EXPECT_EQ(harness->channel_count, static_cast<int32_t>(c.channels));
    }
    EXPECT_EQ(harness->cur_channel, c.channel_after) << c.channels;
    for (uint32_t i = 0; i < kLengthTableSize; ++i) ASSERT_EQ(harness->old_lengths[i], i < total ? 1 + i % 15 : 0) << i;
  }
}

// Runs stop at the total: the rest of their count is dropped and the next
// bits are left for what follows the header.
TEST(CodeLengths, RunsAreClippedAtTheTotal) {
  const struct {
    uint32_t symbol, extra, extra_bits;
    uint8_t value;  // what the run writes
  } cases[] = {
      {18, 127, 7, 0},  // 138 zeros from 10 before the end
      {17, 7, 3, 0},    // 10 zeros
      {16, 3, 2, 9},    // 6 repeats of the previous length
  };
  for (const auto& c : cases) {
    UnpackHarness harness;
    StreamWriter writer;
    writer.Header(false);
    for (int i = 0; i < 374 - 10 + 6; ++i) writer.PutLengthSymbol(9);
    // Four positions are left; the run would cover more.
    writer.PutLengthSymbol(c.symbol);
    writer.Bits(c.extra, c.extra_bits);
    size_t header_end = writer.bit_count();
    writer.Bits(0xFFFF, 16);
    harness.Input(writer.bytes());
    ReadCodeLengths(harness.get());
    EXPECT_EQ(BitsConsumed(harness), header_end) << c.symbol;
    EXPECT_EQ(harness->old_lengths[369], 9);
    for (int i = 370; i < 374; ++i) EXPECT_EQ(harness->old_lengths[i], c.value) << c.symbol;
    EXPECT_EQ(harness->old_lengths[374], 0);
  }
}

// Open point of the format: a repeat in first position has no previous
// length. It repeats 0 here, deterministically.
TEST(CodeLengths, RepeatInFirstPositionRepeatsZero) {
  UnpackHarness harness;
  memset(harness->old_lengths, 5, kLengthTableSize);
  StreamWriter writer;
  writer.Header(true);  // keep old lengths: deltas against 5
  writer.PutLengthSymbol(16);
  writer.Bits(1, 2);  // 4 repeats
  for (int i = 4; i < 374; ++i) writer.PutLengthSymbol(2);
  writer.Bits(0, 32);
  harness.Input(writer.bytes());
  ReadCodeLengths(harness.get());
  for (int i = 0; i < 4; ++i) EXPECT_EQ(harness->old_lengths[i], 0) << i;
  EXPECT_EQ(harness->old_lengths[4], 7);  // 2 + 5
}

// Lengths are deltas, modulo 16, against the previous read's when the
// header keeps them, against zeros otherwise. Open point of the format: the
// part of old_lengths beyond what a read covered is 0 afterwards, so an
// audio header that keeps old lengths after an LZ one adds to 0 there.
TEST(CodeLengths, DeltasAgainstOldLengthsAndAZeroTail) {
  UnpackHarness harness;
  StreamWriter writer;
  writer.AudioHeader(4, false);
  for (int i = 0; i < 1028; ++i) writer.PutLengthSymbol(3);
  writer.Header(true);
  for (int i = 0; i < 374; ++i) writer.PutLengthSymbol(14);  // 3 + 14 = 17 -> 1
  writer.AudioHeader(2, true);
  for (int i = 0; i < 514; ++i) writer.PutLengthSymbol(4);
  writer.Header(false);
  for (int i = 0; i < 374; ++i) writer.PutLengthSymbol(6);  // absolute
  writer.Bits(0, 32);
  harness.Input(writer.bytes());

  ReadCodeLengths(harness.get());
  for (int i = 0; i < 1028; ++i) ASSERT_EQ(harness->old_lengths[i], 3) << i;
  ReadCodeLengths(harness.get());
  for (int i = 0; i < 374; ++i) ASSERT_EQ(harness->old_lengths[i], 1) << i;
  for (int i = 374; i < 1028; ++i) ASSERT_EQ(harness->old_lengths[i], 0) << i;
  ReadCodeLengths(harness.get());
  for (int i = 0; i < 374; ++i) ASSERT_EQ(harness->old_lengths[i], 5) << i;
  for (int i = 374; i < 514; ++i) ASSERT_EQ(harness->old_lengths[i], 4) << i;
  ReadCodeLengths(harness.get());
  for (int i = 0; i < 374; ++i) ASSERT_EQ(harness->old_lengths[i], 6) << i;
}

// A header rebuilds only the tables of its own mode.
TEST(CodeLengths, EachModeLeavesTheOtherModesTables) {
  UnpackHarness harness;
  StreamWriter writer;
  writer.Header(false);
  for (int i = 0; i < 374; ++i) writer.PutLengthSymbol(9);
  writer.AudioHeader(4, false);
  for (int i = 0; i < 1028; ++i) writer.PutLengthSymbol(10);
  writer.Header(false);
  for (int i = 0; i < 374; ++i) writer.PutLengthSymbol(8);
  writer.Bits(0, 32);
  harness.Input(writer.bytes());

  ReadCodeLengths(harness.get());
  DecodeTable main = harness->main_table;
  ReadCodeLengths(harness.get());
  EXPECT_EQ(memcmp(&main, &harness->main_table, sizeof main), 0);
  DecodeTable audio[4];
  memcpy(audio, harness->audio_tables, sizeof audio);
  EXPECT_EQ(audio[3].first_index[10], 0u);
  EXPECT_EQ(audio[3].first_index[11], 257u);
  ReadCodeLengths(harness.get());
  EXPECT_EQ(memcmp(audio, harness->audio_tables, sizeof audio), 0);
  EXPECT_NE(memcmp(&main, &harness->main_table, sizeof main), 0);
}

}  // namespace
