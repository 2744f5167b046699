#include "unpack/lz_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unpack/stream_writer.h"
#include "tests/unpack/unpack_harness.h"

namespace {

TEST(LzDecoder, LiteralsAndShortEntries) {
  UnpackHarness harness;
  StreamWriter writer;
  writer.Tables();
  writer.Literals("hello");
  EXPECT_EQ(harness.Entry(writer.bytes(), 5, false), "hello");
  EXPECT_EQ(harness->unpack_stop, kUnpackComplete);
  // The unpacked size ends the entry, even with more symbols in its data.
  EXPECT_EQ(harness.Entry(writer.bytes(), 1, false), "h");
  EXPECT_EQ(harness.Entry(writer.bytes(), 0, false), "");
  // A size of 2^31 or more reads as negative and produces nothing.
  EXPECT_EQ(harness.Entry(writer.bytes(), INT32_MIN, false), "");
}

// A new match of every length slot, with no and with all extra bits, at
// distance 1: the entry is the literal repeated length + 1 times.
TEST(LzDecoder, NewMatchOfEveryLengthSlot) {
  for (uint32_t slot = 0; slot < 28; ++slot) {
    for (uint32_t extra : {0u, (1u << LengthBits(slot)) - 1}) {
      UnpackHarness harness;
      StreamWriter writer;
      writer.Tables();
      writer.Literal('x');
      writer.NewMatch(slot, extra, LengthBits(slot), 0, 0, 0);
      uint32_t length = LengthBase(slot) + 3 + extra;
      EXPECT_EQ(harness.Entry(writer.bytes(), static_cast<int32_t>(length + 1), false), std::string(length + 1, 'x'))
          << slot << "+" << extra;
      EXPECT_EQ(harness->last_length, length);
    }
  }
  EXPECT_EQ(LengthBase(27) + 3 + 31, 258u);
}

// Every distance slot: the distance, and the longer minimum length that
// distances of 0x2000 and 0x40000 or more imply (both can apply).
TEST(LzDecoder, NewMatchOfEveryDistanceSlot) {
  for (uint32_t slot = 0; slot < 48; ++slot) {
    uint32_t bits = DistBits(slot);
    uint32_t extras[] = {0, (1u << bits) - 1, bits > 1 ? (1u << bits) - 2 : 0};
    for (uint32_t extra : extras) {
      UnpackHarness harness;
      StreamWriter writer;
      writer.Tables();
      writer.Literal('x');
      writer.NewMatch(0, 0, 0, slot, extra, bits);
      uint32_t distance = DistBase(slot) + 1 + extra;
      uint32_t length = 3 + (distance >= 0x2000) + (distance >= 0x40000);
      // Byte by byte: positions before the first byte (and not yet written)
      // hold zeros.
      std::string expected = "x";
      for (uint32_t i = 1; i <= length; ++i) {
        uint32_t from = (i - distance) & 0xFFFFF;
        expected += from < i ? expected[from] : '\0';
      }
      EXPECT_EQ(harness.Entry(writer.bytes(), static_cast<int32_t>(length + 1), false), expected)
          << slot << "+" << extra;
      EXPECT_EQ(harness->last_distance, distance) << slot << "+" << extra;
      EXPECT_EQ(harness->last_length, length) << slot << "+" << extra;
    }
  }
  EXPECT_EQ(DistBase(25) + 1 + 2047, 0x2000u);
  EXPECT_EQ(DistBase(35) + 1 + 0xFFFF, 0x40000u);
  EXPECT_EQ(DistBase(47) + 1 + 0xFFFF, 0x100000u);
}

// 257 takes the newest of the four recent distances, 260 the oldest; the
// length comes from the repeat-length table with the minimum raised at
// 0x101, 0x2000 and 0x40000.
TEST(LzDecoder, RecentDistances) {
  for (uint32_t symbol = 257; symbol <= 260; ++symbol) {
    UnpackHarness harness;
    StreamWriter writer;
    writer.Tables();
    writer.Literals("abcd");
    for (uint32_t d = 0; d < 4; ++d) writer.NewMatch(0, 0, 0, d, 0, 0);  // distances 1..4
    writer.Main(symbol);
    writer.Rep(9);  // length 10 + 2 + extra
    writer.Bits(1, 1);
    harness.Entry(writer.bytes(), 4 + 12 + 13, false);
    EXPECT_EQ(harness->last_distance, 4 - (symbol - 257)) << symbol;
    EXPECT_EQ(harness->last_length, 13u) << symbol;
  }
  const struct {
    uint32_t slot, extra, bits;  // distance slot of the first match
    uint32_t distance, length;   // the recent match then: rep slot 0, length 2 + adjustment
  } cases[] = {
      {15, 63, 6, 0x100, 2},     {16, 0, 7, 0x101, 3},         {25, 2046, 11, 0x1FFF, 3},
      {25, 2047, 11, 0x2000, 4}, {35, 0xFFFE, 16, 0x3FFFF, 4}, {35, 0xFFFF, 16, 0x40000, 5},
  };
  for (const auto& c : cases) {
    UnpackHarness harness;
    StreamWriter writer;
    writer.Tables();
    writer.Literal('a');
    writer.NewMatch(0, 0, 0, c.slot, c.extra, c.bits);
    writer.Main(257);
    writer.Rep(0);
    writer.Literal('z');
    std::string out = harness.Entry(writer.bytes(), 1 + 5 + 5 + 1, false);
    EXPECT_EQ(harness->last_distance, c.distance);
    EXPECT_EQ(harness->last_length, c.length) << c.distance;
  }
}

TEST(LzDecoder, ShortMatchesOfEverySlot) {
  const uint32_t base[] = {0, 4, 8, 16, 32, 64, 128, 192};
  const uint32_t bits[] = {2, 2, 3, 4, 5, 6, 6, 6};
  for (uint32_t slot = 0; slot < 8; ++slot) {
    for (uint32_t extra : {0u, (1u << bits[slot]) - 1}) {
      UnpackHarness harness;
      StreamWriter writer;
      writer.Tables();
      writer.Literals("ab");
      writer.Main(261 + slot);
      writer.Bits(extra, bits[slot]);
      uint32_t distance = base[slot] + 1 + extra;
      std::string out = harness.Entry(writer.bytes(), 4, false);
      EXPECT_EQ(harness->last_distance, distance);
      EXPECT_EQ(harness->last_length, 2u);
      if (distance <= 2) {
        EXPECT_EQ(out, distance == 1 ? "abbb" : "abab");
      }
    }
  }
}

// 256 repeats the last match, length and distance, and records it again.
// As the very first symbol it copies nothing at distance 0, and the ring
// still records it.
TEST(LzDecoder, RepeatOfTheLastMatch) {
  UnpackHarness harness;
  StreamWriter writer;
  writer.Tables();
  writer.Literals("ab");
  writer.NewMatch(1, 0, 0, 1, 0, 0);  // length 4, distance 2
  writer.Main(256);
  writer.Literal('!');
  EXPECT_EQ(harness.Entry(writer.bytes(), 11, false), "ababababab!");
  EXPECT_EQ(harness->recent_index, 2u);
  EXPECT_EQ(harness->recent_dist[1], 2u);

  StreamWriter first;
  first.Tables();
  first.Main(256);
  first.Literal('q');
  EXPECT_EQ(harness.Entry(first.bytes(), 1, false), "q");
  EXPECT_EQ(harness->recent_index, 1u);
  EXPECT_EQ(harness->recent_dist[0], 0u);
  EXPECT_EQ(harness->last_length, 0u);
}

// Overlapping copies repeat the last `distance` bytes, whatever the copy
// method: every distance from 1 to 12 against a byte-by-byte model.
TEST(LzDecoder, OverlappingMatchesRepeatThePattern) {
  for (uint32_t distance = 1; distance <= 12; ++distance) {
    UnpackHarness harness;
    StreamWriter writer;
    writer.Tables();
    std::string expected = "0123456789AB";
    writer.Literals(expected);
    writer.Match(27, 31, distance);  // 258 bytes
    for (int i = 0; i < 258; ++i) expected += expected[expected.size() - distance];
    EXPECT_EQ(harness.Entry(writer.bytes(), static_cast<int32_t>(expected.size()), false), expected) << distance;
  }
}

// After its last byte an entry looks at one more symbol when five bytes of
// input remain: 269 there reads the tables the next solid entry starts with;
// anything else leaves the old ones. Whether five bytes remain depends on
// where the input refills: a refill before a symbol once in_pos is above
// 8162 that finds no more packed data leaves no bytes beyond in_pos.
TEST(LzDecoder, TrailingTablesServeTheNextSolidEntry) {
  BlockLengths other;
  other.main.assign(298, 10);
  const struct {
    const char* why;
    bool switch_tables;  // 269 after the last literal, else another literal
    bool fill_buffer;    // the data is exactly one buffer, its last literal
                         // ending 10 bytes past the refill point
  } cases[] = {
      {"269 reads the tables", true, false},
      {"another symbol leaves the old ones", false, false},
      {"a refill that found nothing leaves nothing to look at", true, true},
  };
  for (const auto& c : cases) {
    UnpackHarness harness;
    StreamWriter writer;
    writer.Tables();
    std::string literals = "a";
    writer.Literal('a');
    while (c.fill_buffer && writer.bit_count() < 8172 * 8) {
      writer.Literal('a');
      literals += 'a';
    }
    if (c.switch_tables) {
      writer.Main(269);
      writer.Tables(other);
    } else {
      writer.Literal('c');
    }
    writer.Bits(0, 48);
    std::string packed = writer.bytes();
    if (c.fill_buffer) packed.resize(8192, '\0');
    EXPECT_EQ(harness.Entry(packed, static_cast<int32_t>(literals.size()), false), literals) << c.why;

    // The solid entry's data is the literal alone, without a header.
    bool new_tables = c.switch_tables && !c.fill_buffer;
    StreamWriter next;
    next.UseTables(new_tables ? other : BlockLengths());
    next.Literal('b');
    EXPECT_EQ(harness.Entry(next.bytes(), 1, true), "b") << c.why;
  }
}

// 269 switches tables in mid-entry: what follows is coded with the new
// ones. A long entry whose table switches fall at every offset around the
// input refills: table reads that refill inside themselves, or end a few bytes
// before the buffer end, hand the loop an exact position.
TEST(LzDecoder, TableSwitchesAcrossInputRefills) {
  BlockLengths wide;
  wide.main.assign(298, 10);
  UnpackHarness harness;
  StreamWriter writer;
  writer.Tables();
  std::string expected;
  bool use_wide = false;
  for (int block = 0; writer.bit_count() < 8 * 40000; ++block) {
    for (int i = 0; i < block % 23; ++i) {
      char c = static_cast<char>('a' + (block + i) % 26);
      writer.Literal(static_cast<uint8_t>(c));
      expected += c;
    }
    writer.Main(269);
    use_wide = !use_wide;
    writer.Tables(use_wide ? wide : BlockLengths());
  }
  EXPECT_EQ(harness.Entry(writer.bytes(), static_cast<int32_t>(expected.size()), false), expected);
  EXPECT_EQ(harness->unpack_stop, kUnpackComplete);
}

// Old lengths start as zeros in every non-solid entry, so a first header
// that keeps them reads absolute lengths, whatever the entry before left.
TEST(LzDecoder, NonSolidEntryDeltasAgainstZeros) {
  UnpackHarness harness;
  StreamWriter before;
  BlockLengths other;
  other.main.assign(298, 10);
  before.Tables(other);
  before.Literal('x');
  EXPECT_EQ(harness.Entry(before.bytes(), 1, false), "x");
  StreamWriter writer;
  writer.Header(true);
  BlockLengths lengths;
  for (uint8_t l : lengths.main) writer.PutLengthSymbol(l);
  for (uint8_t l : lengths.dist) writer.PutLengthSymbol(l);
  for (uint8_t l : lengths.rep) writer.PutLengthSymbol(l);
  writer.UseTables(lengths);
  writer.Literals("ok");
  EXPECT_EQ(harness.Entry(writer.bytes(), 2, false), "ok");
}

// "abc" repeated by matches of 258 bytes at distance 3, the last `repeats`
// times by symbol 256: an entry of 3 + 258 * (repeats + 1) bytes.
std::string PatternEntry(int repeats) {
  StreamWriter writer;
  writer.Tables();
  writer.Literals("abc");
  writer.Match(27, 31, 3);
  for (int i = 0; i < repeats; ++i) writer.Main(256);
  return writer.bytes();
}

int32_t PatternSize(int repeats) { return 3 + 258 * (repeats + 1); }

// An entry larger than the window's ring wraps it and is delivered in
// several pieces whose concatenation is the entry. A non-solid entry after
// it sees zeros wherever earlier entries wrote, whether they wrapped or
// not, and where their copies wrote past the last match's end.
TEST(LzDecoder, EntryLargerThanTheWindowAndTheResetAfterIt) {
  UnpackHarness harness;
  const int repeats = 9000;
  ASSERT_GT(PatternSize(repeats), static_cast<int32_t>(kWindowBufferSize));
  std::string out = harness.Entry(PatternEntry(repeats), PatternSize(repeats), false);
  ASSERT_EQ(out.size(), static_cast<size_t>(PatternSize(repeats)));
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], "abc"[i % 3]) << i;
  EXPECT_GT(harness.context()->memory_buffer->append_count, 2);
  EXPECT_EQ(harness->unpack_stop, kUnpackComplete);

  // Bytes lost at the first flush fail the entry whatever follows (a full
  // disk, a stopped pass): the rest is not decoded.
  UnpackHarness lost;
  lost.context()->output_failed = 1;
  EXPECT_LE(lost.Entry(PatternEntry(repeats), PatternSize(repeats), false).size(), kWindowSize + 1024u);

  const struct {
    int earlier_repeats;  // an entry of PatternEntry before, unless negative
    uint32_t distance;
  } cases[] = {
      {-1, 0x80000},
      {0, 0x100000},
      {-1, 0xFFFFF},
      // Ends 455 bytes into the ring's second half, with the pattern copied
      // a few bytes past its end; the match reads there.
      {4065, kWindowSize - 454},
  };
  for (const auto& c : cases) {
    if (c.earlier_repeats >= 0) {
      harness.Entry(PatternEntry(c.earlier_repeats), PatternSize(c.earlier_repeats), false);
    }
    StreamWriter next;
    next.Tables();
    next.Literal('q');
    next.Match(0, 0, c.distance);  // 3 bytes, 2 more at this distance
    EXPECT_EQ(harness.Entry(next.bytes(), 6, false), std::string("q\0\0\0\0\0", 6)) << c.distance;
  }
}

// Damaged entries whose data runs out before their size is reached stop
// once the decoder has read a few bytes past the data, however little each
// symbol produces. Without that, symbols that produce nothing would never
// end the entry.
TEST(LzDecoder, EntryThatRunsOutOfDataStops) {
  StreamWriter literal;
  literal.Tables();
  literal.Literal('a');
  StreamWriter empty_repeats;  // 256 with no match before: 0 bytes each
  empty_repeats.Tables();
  for (int i = 0; i < 100; ++i) empty_repeats.Main(256);
  StreamWriter table_switches;
  table_switches.Tables();
  for (int i = 0; i < 5; ++i) {
    table_switches.Main(269);
    table_switches.Tables();
  }
  std::string noise;
  for (int i = 0; i < 300; ++i) noise += static_cast<char>(i * 37 + i / 7);
  const struct {
    const char* what;
    std::string packed;
    int32_t size;
  } cases[] = {
      {"literal then nothing", literal.bytes(), 1000000},
      {"empty repeats", empty_repeats.bytes(), 10},
      {"table switches", table_switches.bytes(), 10},
      {"no data at all", "", 100},
      {"noise", noise, 0x7FFFFFFF},
  };
  for (const auto& c : cases) {
    UnpackHarness harness;
    std::string out = harness.Entry(c.packed, c.size, false);
    EXPECT_EQ(harness->unpack_stop, kUnpackInputExhausted) << c.what;
    EXPECT_LT(out.size(), 300u * 8 * 260) << c.what;
    EXPECT_EQ(harness->win_flushed, harness->win_pos) << c.what;
  }
}

// No audio decoder exists: an audio header read by the entry itself stops
// it; one read by the look-ahead after a complete entry stops the next solid
// entry, while a later non-solid entry reads fresh tables and decodes.
TEST(LzDecoder, AudioBlocksStopTheEntry) {
  UnpackHarness harness;
  StreamWriter audio_first;
  audio_first.AudioTables(2);
  audio_first.Bits(0, 64);
  EXPECT_EQ(harness.Entry(audio_first.bytes(), 10, false), "");
  EXPECT_EQ(harness->unpack_stop, kUnpackAudio);

  StreamWriter audio_later;
  audio_later.Tables();
  audio_later.Literal('a');
  audio_later.Main(269);
  audio_later.AudioTables(1);
  audio_later.Bits(0, 64);
  EXPECT_EQ(harness.Entry(audio_later.bytes(), 10, false), "a");
  EXPECT_EQ(harness->unpack_stop, kUnpackAudio);

  // The same data as an entry of one byte: complete, the look-ahead reads
  // the audio header.
  EXPECT_EQ(harness.Entry(audio_later.bytes(), 1, false), "a");
  EXPECT_EQ(harness->unpack_stop, kUnpackComplete);
  EXPECT_NE(harness->audio_mode, 0u);
  StreamWriter solid;
  solid.UseTables(BlockLengths());
  solid.Literal('b');
  EXPECT_EQ(harness.Entry(solid.bytes(), 1, true), "");
  EXPECT_EQ(harness->unpack_stop, kUnpackAudio);

  StreamWriter fresh;
  fresh.Tables();
  fresh.Literal('z');
  EXPECT_EQ(harness.Entry(fresh.bytes(), 1, false), "z");
  EXPECT_EQ(harness->unpack_stop, kUnpackComplete);
}

// CopyMatch against the byte-by-byte definition, where the faster copies
// differ from it in method: near both ends of the ring and at the window's
// distance from them, for overlapping and separate source and destination,
// distances 0 and the window size, sources that reach back over the ring's
// start, every length class of the copies, which may change up to 32 bytes
// past the match end, but nothing before the match or beyond those.
TEST(LzDecoder, CopyMatchEqualsByteByByteCopyAtEveryEdge) {
  UnpackHarness harness;
  uint8_t* window = harness->window;
  std::vector<uint8_t> model(kWindowBufferSize);
  uint32_t seed = 1;
  for (uint32_t i = 0; i < kWindowBufferSize; ++i) {
    seed = seed * 1103515245 + 12345;
    window[i] = model[i] = static_cast<uint8_t>(seed >> 16);
  }
  const uint32_t starts[] = {0,
                             5,
                             300,
                             kWindowSize - 5,
                             kWindowSize + 7,
                             kWindowBufferSize - 300,
                             kWindowBufferSize - 33,
                             kWindowBufferSize - 32,
                             kWindowBufferSize - 10,
                             kWindowBufferSize - 1};
  const uint32_t distances[] = {
      0, 1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 100, 299, 301, kWindowSize - 5, kWindowSize - 1, kWindowSize};
  const uint32_t lengths[] = {0, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 24, 31, 32, 33, 47, 258, 260};
  for (uint32_t to : starts) {
    for (uint32_t distance : distances) {
      for (uint32_t length : lengths) {
        harness->win_pos = to;
        harness->unpacked_left = 1000;
        CopyMatch(harness.get(), length, distance);
        uint32_t back = distance == 0 ? kWindowSize : distance;
        for (uint32_t i = 0; i < length; ++i)
          model[(to + i) & kWindowBufferMask] = model[(to + i - back) & kWindowBufferMask];
        ASSERT_EQ(harness->win_pos, (to + length) & kWindowBufferMask);
        ASSERT_EQ(harness->unpacked_left, static_cast<int32_t>(1000 - length));
        ASSERT_EQ(harness->last_distance, distance);
        std::string where =
            "to " + std::to_string(to) + " distance " + std::to_string(distance) + " length " + std::to_string(length);
        for (uint32_t i = 0; i < length + 16; ++i) {
          uint32_t at = (to - 16 + i) & kWindowBufferMask;
          ASSERT_EQ(window[at], model[at]) << where << " at " << at;
        }
        for (uint32_t i = 0; i < 32; ++i) {
          uint32_t at = (to + length + i) & kWindowBufferMask;
          model[at] = window[at];
        }
        for (uint32_t i = 32; i < 48; ++i) {
          uint32_t at = (to + length + i) & kWindowBufferMask;
          ASSERT_EQ(window[at], model[at]) << where << " at " << at;
        }
      }
    }
  }
}

}  // namespace
