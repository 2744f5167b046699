// Table headers read back by the installer's own table reader: every way of
// coding the lengths (differences, plain values, repeats, zero runs) must
// give the decoder exactly the lengths the compressor meant.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pack/table_header.h"
#include "tests/archive/test_context.h"
#include "tests/support/scratch.h"
#include "unpack/bit_input.h"
#include "unpack/code_lengths.h"

namespace pack {
namespace {

using Lengths = std::vector<uint8_t>;

// A plausible table: short codes for literals and a few match symbols,
// long zero runs, and runs of equal lengths.
Lengths Typical(uint32_t seed) {
  std::mt19937 random(seed);
  Lengths lengths(kTableLengthCount, 0);
  for (int i = 0; i < 256; ++i) lengths[i] = static_cast<uint8_t>(6 + random() % 6);
  for (int i = 256; i < 300; ++i) lengths[i] = random() % 3 == 0 ? 0 : static_cast<uint8_t>(3 + random() % 12);
  for (int i = 300; i < 330; ++i) lengths[i] = 5;  // a run the previous-length repeat codes
  for (int i = 346; i < 360; ++i) lengths[i] = static_cast<uint8_t>(1 + random() % 15);
  return lengths;
}

struct Header {
  Lengths read;   // what the decoder holds afterwards
  bool keep_bit;  // whether the header said "differences"
};

Header ReadBack(const Lengths& old_lengths, const Lengths& new_lengths) {
  BitWriter out;
  TableHeader header = ChooseTableHeader(old_lengths.data(), new_lengths.data());
  WriteTableHeader(header, &out);
  EXPECT_EQ(header.bits, out.BitCount());
  out.AlignToByte();
  std::vector<uint8_t> written;
  out.TakeBytes(&written);
  std::string bytes(written.begin(), written.end());
  bytes += std::string(8, '\0');

  TestContext context;
  context.SetInput(ScratchFolder() + "header.bin", bytes, static_cast<int32_t>(bytes.size()));
  std::copy(old_lengths.begin(), old_lengths.end(), context.decoder()->old_lengths);
  FillInput(context.input(), true);
  ReadCodeLengths(context.decoder());
  return Header{Lengths(context.decoder()->old_lengths, context.decoder()->old_lengths + kTableLengthCount),
                (written[0] & 0x40) != 0};
}

TEST(TableHeader, TheDecoderReadsBackExactlyTheLengthsMeant) {
  const Lengths zeros(kTableLengthCount, 0);
  Lengths small_change = Typical(1);
  for (int i = 0; i < 256; i += 17) small_change[i] = static_cast<uint8_t>((small_change[i] % 15) + 1);
  Lengths all_fifteen(kTableLengthCount, 15);
  Lengths one_symbol(kTableLengthCount, 0);
  one_symbol[kNewTablesSymbol] = 1;
  struct {
    const char* what;
    Lengths old_lengths, new_lengths;
    int keep_bit;  // 0 plain values, 1 differences, -1 whichever is smaller
  } const cases[] = {
      {"after a reset: plain values", zeros, Typical(1), 0},
      {"a few lengths changed: differences", Typical(1), small_change, 1},
      {"nothing changed: differences", Typical(2), Typical(2), 1},
      {"everything changed", all_fifteen, Typical(3), -1},
      {"longest codes everywhere: long repeats", Typical(4), all_fifteen, -1},
      {"one symbol, zeros around it", Typical(5), one_symbol, -1},
      {"back to an empty table", Typical(6), zeros, -1},
  };
  for (const auto& c : cases) {
    Header header = ReadBack(c.old_lengths, c.new_lengths);
    EXPECT_EQ(header.read, c.new_lengths) << c.what;
    if (c.keep_bit >= 0) {
      EXPECT_EQ(header.keep_bit, c.keep_bit == 1) << c.what;
    }
  }
}

TEST(TableHeader, DifferencesAreSmallerWhenLittleChanges) {
  Lengths old_lengths = Typical(7);
  Lengths new_lengths = old_lengths;
  new_lengths[65] = static_cast<uint8_t>(old_lengths[65] + 1);
  const Lengths zeros(kTableLengthCount, 0);
  EXPECT_LT(ChooseTableHeader(old_lengths.data(), new_lengths.data()).bits,
            ChooseTableHeader(zeros.data(), new_lengths.data()).bits / 2);
}

}  // namespace
}  // namespace pack
