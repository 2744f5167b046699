#include "unpack/decode_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/archive/test_context.h"
#include "tests/unpack/reference_decoder.h"
#include "unpack/bit_input.h"
#include "unpack/lz_format.h"

namespace {

// Every one of the 65,536 peeks must give the tree's symbol and length,
// and count the symbol's extra bits with the code.
void ExpectSameAsTree(const DecodeTable& table, const std::string& what) {
  for (uint32_t peek = 0; peek < 0x10000; ++peek) {
    uint32_t fast_length = 0, tree_length = 0;
    uint32_t fast = DecodePeek(table, peek, &fast_length);
    uint32_t tree = TreeDecode(table, peek, &tree_length);
    const ExtraBits& e = table.extra;
    bool has_extra = e.bits != nullptr && tree >= e.first && tree < table.symbol_count;
    uint32_t extra = has_extra ? e.bits[tree - e.first] : 0;
    uint32_t total = EntryTotal(DecodeEntry(table, peek));
    // A slot alphabet's entries carry the slot's first value instead.
    uint32_t value = tree;
    if (e.base_offset != 0 && has_extra) {
      value = e.base_offset;
      for (uint32_t i = e.first; i < tree; ++i) value += 1u << e.bits[i - e.first];
    }
    if (fast != value || fast_length != tree_length || total != tree_length + extra) {
      FAIL() << what << ": peek " << peek << " gives " << fast << "/" << fast_length << "/" << total << ", tree "
             << tree << "/" << tree_length << "+" << extra;
    }
  }
}

std::vector<uint8_t> RandomLengths(std::mt19937& random, size_t count, uint32_t max_length, double zero_share) {
  std::vector<uint8_t> lengths(count);
  std::uniform_real_distribution<double> unit(0, 1);
  for (uint8_t& l : lengths) l = unit(random) < zero_share ? 0 : static_cast<uint8_t>(1 + random() % max_length);
  return lengths;
}

// A complete code: Huffman lengths of random weights.
std::vector<uint8_t> CompleteLengths(std::mt19937& random, size_t count) {
  std::vector<uint8_t> lengths(count, 0);
  // Start from one leaf covering the whole code space and split random
  // leaves in two until there is one per symbol.
  std::vector<uint8_t> depth = {0};
  while (depth.size() < count) {
    size_t pick = random() % depth.size();
    if (depth[pick] >= 15) continue;
    ++depth[pick];
    depth.push_back(depth[pick]);
  }
  for (size_t i = 0; i < count; ++i) lengths[(i * 7919) % count] = depth[i];
  return lengths;
}

TEST(DecodeTable, BuildsLimitsIndicesAndSymbolsOfSmallCodes) {
  DecodeTable table = {};
  const uint8_t lengths[] = {2, 1, 3, 3};
  BuildDecodeTable(lengths, &table, 4);
  EXPECT_EQ(table.limit[0], 0u);
  EXPECT_EQ(table.limit[1], 0x8000u);
  EXPECT_EQ(table.limit[2], 0xC000u);
  for (int l = 3; l < 16; ++l) EXPECT_EQ(table.limit[l], 0xFFFFu) << l;
  const uint32_t first_index[16] = {0, 0, 1, 2, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};
  for (int l = 0; l < 16; ++l) EXPECT_EQ(table.first_index[l], first_index[l]) << l;
  EXPECT_EQ(table.symbols[0], 1u);
  EXPECT_EQ(table.symbols[1], 0u);
  EXPECT_EQ(table.symbols[2], 2u);
  EXPECT_EQ(table.symbols[3], 3u);
  EXPECT_EQ(table.symbol_count, 4u);

  // Codes 0, 10, 110, 111 at the front of a peek.
  const struct {
    uint32_t peek, symbol, length;
  } cases[] = {{0x0000, 1, 1}, {0x7FFF, 1, 1}, {0x8000, 0, 2}, {0xBFFF, 0, 2},
               {0xC000, 2, 3}, {0xE000, 3, 3}, {0xFFFF, 3, 3}};
  uint32_t length;
  for (const auto& c : cases) {
    EXPECT_EQ(DecodePeek(table, c.peek, &length), c.symbol) << c.peek;
    EXPECT_EQ(length, c.length) << c.peek;
  }

  // Only the low four bits of a length count.
  DecodeTable high = {};
  const uint8_t with_high_bits[] = {0x12, 0xF1, 0x33, 0x83};
  BuildDecodeTable(with_high_bits, &high, 4);
  EXPECT_EQ(memcmp(&table, &high, sizeof table), 0);

  // Two one-bit codes fill the whole space: the limit of 0x10000 is capped
  // at 0xFFFF, and the masked peek 0xFFFE still falls below it.
  const uint8_t full[] = {1, 1};
  BuildDecodeTable(full, &table, 2);
  EXPECT_EQ(table.limit[1], 0xFFFFu);
  EXPECT_EQ(DecodePeek(table, 0xFFFF, &length), 1u);
  EXPECT_EQ(length, 1u);
  EXPECT_EQ(DecodePeek(table, 0x7FFF, &length), 0u);
}

// The lookup must agree with the comparison tree for every peek, whatever
// the lengths: complete codes, incomplete ones, over-subscribed ones where
// the limits saturate, degenerate ones, and tables rebuilt over older
// contents whose unused `symbols` entries still hold earlier values; every
// other set with extra bits after the codes.
TEST(DecodeTable, LookupEqualsComparisonTreeForEveryPeek) {
  std::mt19937 random(20);
  uint8_t extra_bits[kMaxSymbols];
  for (uint32_t i = 0; i < kMaxSymbols; ++i) extra_bits[i] = static_cast<uint8_t>(i % 17);
  const uint32_t sizes[] = {19, 28, 48, 257, 298};
  int sets = 0;
  for (uint32_t size : sizes) {
    DecodeTable table = {};
    std::vector<std::vector<uint8_t>> cases;
    cases.push_back(std::vector<uint8_t>(size, 0));   // no codes at all
    cases.push_back(std::vector<uint8_t>(size, 15));  // all longest, over-subscribed
    cases.push_back(std::vector<uint8_t>(size, 1));   // far over-subscribed
    std::vector<uint8_t> single(size, 0);
    single[size - 1] = 4;  // one code only
    cases.push_back(single);
    std::vector<uint8_t> ladder(size, 0);
    for (uint32_t i = 0; i < size && i < 15; ++i) ladder[i] = static_cast<uint8_t>(i + 1);
    cases.push_back(ladder);  // 1, 2, ..., 15
    for (int i = 0; i < 6; ++i) cases.push_back(CompleteLengths(random, size));
    for (int i = 0; i < 6; ++i) cases.push_back(RandomLengths(random, size, 15, 0.3));
    for (int i = 0; i < 4; ++i) cases.push_back(RandomLengths(random, size, 7, 0.5));    // dense, short
    for (int i = 0; i < 4; ++i) cases.push_back(RandomLengths(random, size, 15, 0.95));  // sparse
    for (int i = 0; i < 4; ++i) {
      std::vector<uint8_t> lengths = RandomLengths(random, size, 4, 0.0);
      for (uint8_t& l : lengths) l = static_cast<uint8_t>(l + 10);  // all of 11..14: long codes only
      cases.push_back(lengths);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
      // The same table object throughout: each build leaves stale symbols.
      // The distance alphabet's sets alternate with entries of its bases.
      ExtraBits extra = {i % 2 == 0 ? nullptr : extra_bits, static_cast<uint32_t>(i % 3), 0};
      if (size == kDistAlphabet && i % 2 == 0) extra = {kDistBits, 0, 1};
      BuildDecodeTable(cases[i].data(), &table, size, extra);
      ExpectSameAsTree(table, "size " + std::to_string(size) + " case " + std::to_string(i));
      if (HasFatalFailure()) return;
      ++sets;
    }
  }
  EXPECT_GE(sets, 100);
}

// DecodeSymbol reads through the bit input: it consumes exactly the code.
TEST(DecodeTable, DecodeSymbolConsumesTheCodeLength) {
  TestContext context;
  DecodeTable table = {};
  const uint8_t lengths[] = {2, 1, 3, 3};
  BuildDecodeTable(lengths, &table, 4);
  // 0 10 110 111 then padding: symbols 1, 0, 2, 3.
  context.input()->in_buf[0] = 0x5B;  // 0101 1011
  context.input()->in_buf[1] = 0x80;  // 1...
  const uint32_t expected[][3] = {{1, 0, 1}, {0, 0, 3}, {2, 0, 6}, {3, 1, 1}};
  for (const auto& e : expected) {
    EXPECT_EQ(DecodeSymbol(context.input(), &table), e[0]);
    EXPECT_EQ(context.input()->in_pos, e[1]);
    EXPECT_EQ(context.input()->in_bit, e[2]);
  }
}

}  // namespace
