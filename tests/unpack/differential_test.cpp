// The fast decoder against the plain one on random entries, valid and
// damaged, solid and not: the same bytes out, the same state carried on.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "tests/support/random_bytes.h"
#include "tests/unpack/reference_decoder.h"
#include "tests/unpack/stream_writer.h"
#include "tests/unpack/unpack_harness.h"

namespace {

// A valid stream of random symbols of every kind, table switches included.
std::string RandomStream(std::mt19937& random, bool with_header) {
  StreamWriter writer;
  BlockLengths plain, wide;
  wide.main.assign(298, 10);
  if (with_header)
    writer.Tables(plain);
  else
    writer.UseTables(plain);
  int symbols = static_cast<int>(random() % 60000);
  for (int i = 0; i < symbols; ++i) {
    uint32_t kind = random() % 100;
    if (kind < 45) {
      writer.Literal(static_cast<uint8_t>(random() % 4 == 0 ? random() : 'a' + random() % 3));
    } else if (kind < 70) {
      uint32_t slot = random() % 28, dist_slot = random() % 100 < 70 ? random() % 20 : random() % 48;
      writer.NewMatch(slot, random() % (1u << LengthBits(slot)), LengthBits(slot), dist_slot,
                      random() % (1u << DistBits(dist_slot)), DistBits(dist_slot));
    } else if (kind < 75) {
      writer.Main(256);
    } else if (kind < 87) {
      uint32_t slot = random() % 28;
      writer.Main(257 + random() % 4);
      writer.Rep(slot);
      writer.Bits(random() % (1u << LengthBits(slot)), LengthBits(slot));
    } else if (kind < 99) {
      uint32_t slot = random() % 8;
      const uint32_t bits[] = {2, 2, 3, 4, 5, 6, 6, 6};
      writer.Main(261 + slot);
      writer.Bits(random() % (1u << bits[slot]), bits[slot]);
    } else {
      writer.Main(269);
      writer.Tables(random() % 2 == 0 ? wide : plain);
    }
  }
  // Valid streams end here or carry a few more bytes for the look-ahead.
  writer.Bits(static_cast<uint32_t>(random()), random() % 2 == 0 ? 0 : 32);
  return writer.bytes();
}

// The window's bytes as a match sees them: the kWindowSize bytes before the
// write position, nearest last, in a ring of `ring_size` bytes.
std::string History(Decoder* context, uint32_t ring_size) {
  std::string bytes(kWindowSize, '\0');
  for (uint32_t back = 1; back <= kWindowSize; ++back)
    bytes[kWindowSize - back] = static_cast<char>(context->window[(context->win_pos - back) & (ring_size - 1)]);
  return bytes;
}

// The fast decoder keeps the window in a ring of twice its size, the plain
// one in a ring of its size: positions agree modulo the window size.
void ExpectSameState(UnpackHarness& fast, UnpackHarness& plain, const std::string& where) {
  EXPECT_EQ(fast->unpack_stop, plain->unpack_stop) << where;
  EXPECT_EQ(fast->unpacked_left, plain->unpacked_left) << where;
  EXPECT_EQ(fast->win_pos & kWindowMask, plain->win_pos) << where;
  EXPECT_EQ(fast->win_flushed, fast->win_pos) << where;
  EXPECT_EQ(fast->input.in_pos, plain->input.in_pos) << where;
  EXPECT_EQ(fast->input.in_bit, plain->input.in_bit) << where;
  EXPECT_EQ(fast->last_length, plain->last_length) << where;
  EXPECT_EQ(fast->last_distance, plain->last_distance) << where;
  EXPECT_EQ(fast->recent_index, plain->recent_index) << where;
  EXPECT_EQ(memcmp(fast->recent_dist, plain->recent_dist, sizeof fast->recent_dist), 0) << where;
  EXPECT_EQ(fast->audio_mode, plain->audio_mode) << where;
  EXPECT_EQ(memcmp(fast->old_lengths, plain->old_lengths, kLengthTableSize), 0) << where;
  // The code the main table holds; the fast decoder's lookup entries
  // derived from it are its own.
  const DecodeTable& a = fast->main_table;
  const DecodeTable& b = plain->main_table;
  EXPECT_TRUE(a.symbol_count == b.symbol_count && memcmp(a.limit, b.limit, sizeof a.limit) == 0 &&
              memcmp(a.first_index, b.first_index, sizeof a.first_index) == 0 &&
              memcmp(a.symbols, b.symbols, sizeof a.symbols) == 0)
      << where;
  EXPECT_TRUE(History(fast.get(), kWindowBufferSize) == History(plain.get(), kWindowSize)) << where;
}

TEST(Differential, FastDecoderEqualsThePlainOne) {
  std::mt19937 random(2026);
  for (int run = 0; run < 24; ++run) {
    UnpackHarness fast, plain;
    for (int entry = 0; entry < 4; ++entry) {
      bool solid = entry > 0 && random() % 2 == 0;
      std::string packed = random() % 3 == 0 ? RandomBytes(random() % 20000, random()) : RandomStream(random, !solid);
      int32_t size = static_cast<int32_t>(random() % 3 == 0 ? random() % 2000 : random() % 3000000);
      std::string where = "run " + std::to_string(run) + " entry " + std::to_string(entry);
      std::string out = fast.Entry(packed, size, solid);
      ASSERT_TRUE(out == plain.Entry(packed, size, solid, ReferenceUnpackEntry)) << where;
      ExpectSameState(fast, plain, where);
      if (HasFailure()) return;
    }
  }
}

}  // namespace
