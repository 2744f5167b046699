// The parsers' tokens, replayed the way the decoder applies them: they must
// rebuild the input exactly and each must be one the format can code at
// that point of the match history.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pack/block_encoder.h"
#include "pack/block_matches.h"
#include "pack/fast_parser.h"
#include "pack/history.h"
#include "pack/lz_format.h"
#include "pack/match_finder.h"
#include "pack/parser.h"
#include "pack/symbol_coder.h"
#include "tests/support/random_bytes.h"

namespace pack {
namespace {

// Applies tokens after `produced` (the stream so far), checking each.
void Replay(const std::vector<Token>& tokens, RecentState* state, std::string* produced) {
  for (const Token& t : tokens) {
    if (t.kind == kLiteral) {
      produced->push_back(static_cast<char>(t.value));
      continue;
    }
    uint32_t d = t.distance;
    ASSERT_GE(d, 1u);
    ASSERT_LE(d, produced->size()) << "match before the first byte";
    ASSERT_LE(d, kWindowSize);
    switch (t.kind) {
      case kNewMatch:
        ASSERT_GE(t.length, MinNewMatch(d));
        ASSERT_LE(t.length, MaxNewMatch(d));
        break;
      case kRecentMatch:
        ASSERT_EQ(d, state->Recent(t.value));
        ASSERT_GE(t.length, MinRecentMatch(d));
        ASSERT_LE(t.length, MaxRecentMatch(d));
        break;
      case kShortMatch:
        ASSERT_EQ(t.length, 2);
        ASSERT_LE(d, kMaxShortDistance);
        break;
      case kRepeatLast:
        ASSERT_EQ(t.length, state->last_length);
        ASSERT_EQ(d, state->last_distance);
        break;
      default:
        FAIL();
    }
    for (uint32_t i = 0; i < t.length; ++i) produced->push_back((*produced)[produced->size() - d]);
    state->Record(t.length, d);
  }
}

// Inputs that reach each token kind and each length bonus.
std::vector<std::pair<const char*, std::string>> Inputs() {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 97) + " of the sample text\n";
  std::string block = RandomBytes(3000, 1);
  // The same block again at distances just past 0x2000 and 0x40000.
  std::string far = block + RandomBytes(0x2000, 2) + block + RandomBytes(0x40000, 3) + block;
  std::string pairs;  // 2-byte repeats at short distances
  for (int i = 0; i < 20000; ++i) pairs += RandomBytes(6, i, 4);
  return {
      {"one byte", "x"},
      {"two bytes", "xy"},
      {"zeros", std::string(100000, '\0')},
      {"text", text},
      {"random", RandomBytes(70000, 4)},
      {"far repeats", far},
      {"small alphabet", pairs},
  };
}

struct Level {
  const char* name;
  FinderKind finder;
  ParserSettings settings;
  bool fast = false;  // the fast parser, which needs no finder
};

const Level kParsers[] = {
    {"greedy", FinderKind::kChains, {0, false, false, 32}},
    {"lazy", FinderKind::kChains, {1, true, false, 64}},
    {"lazy two", FinderKind::kChains, {2, true, false, 128}},
    // A bucket keeps only its newest positions; the lazy look-ahead comes
    // back to positions already recorded in it.
    {"greedy on buckets", FinderKind::kBuckets, {0, false, false, 16}},
    {"lazy on buckets", FinderKind::kBuckets, {1, true, false, 32}},
    {"optimal", FinderKind::kChains, {0, true, true, 128}},
    // Trees compare no further than the nice length; longer matches are
    // reported whole.
    {"optimal on trees", FinderKind::kTrees, {0, true, true, 64}},
    {"optimal on trees, every length", FinderKind::kTrees, {0, true, true, kMaxMatch}},
    // Greedy over tables of its own; a match may run far past a block's
    // stop, and is coded in several tokens when one cannot hold it.
    {"fast", FinderKind::kBuckets, {0, false, false, 0}, true},
};

// Parses `data` in blocks of `block` bytes and replays the result. The
// optimal parser gets each block's matches searched beforehand, the blocks
// at fixed places as the packer has them, so that a match may end inside
// the next block or past it.
void ParseAndReplay(const Level& level, const std::string& data, uint32_t block) {
  History history;
  MatchFinder finder(level.finder, 16, 32, level.settings.nice_length);
  Parser parser(level.settings, &history, &finder);
  FastParser fast(&history);
  history.Reset();
  finder.Reset();
  parser.Reset();
  fast.Reset();
  std::memcpy(history.Reserve(static_cast<uint32_t>(data.size()), history.end()), data.data(), data.size());
  history.Commit(static_cast<uint32_t>(data.size()));
  const uint32_t end = history.end();

  Prices prices;
  prices.SetDefault();
  RecentState state, replayed;
  std::string produced;
  BlockMatches matches;
  uint32_t position = history.start();
  uint32_t block_start = position;
  while (position < end) {
    std::vector<Token> tokens;
    uint32_t stop;
    uint32_t next;
    if (level.settings.optimal) {
      stop = std::min(block_start + block, end);
      matches.Collect(&finder, history, block_start, stop, end, level.settings.nice_length);
      block_start = stop;
      if (position >= stop) continue;
      next = parser.ParseOptimal(matches, position, prices, &state, &tokens);
    } else {
      stop = std::min(position + block, end);
      if (level.fast) {
        // The fast parser counts symbols as it goes: its counts must be
        // what the block coder would count from the tokens.
        BlockPlan counted, recounted;
        next = fast.Parse(position, stop, end, prices, &state, &tokens, &counted);
        BlockEncoder::CountSymbols(tokens.data(), tokens.size(), &recounted);
        ASSERT_EQ(std::memcmp(counted.main, recounted.main, sizeof counted.main), 0);
        ASSERT_EQ(std::memcmp(counted.dist, recounted.dist, sizeof counted.dist), 0);
        ASSERT_EQ(std::memcmp(counted.rep_length, recounted.rep_length, sizeof counted.rep_length), 0);
      } else {
        next = parser.Parse(position, stop, end, prices, &state, &tokens);
      }
    }
    ASSERT_GE(next, stop);
    Replay(tokens, &replayed, &produced);
    ASSERT_EQ(produced.size(), next - history.start());
    position = next;
  }
  EXPECT_EQ(position, end) << "a match ran past the end";
  EXPECT_TRUE(produced == data);
  EXPECT_EQ(std::memcmp(&state, &replayed, sizeof state), 0) << "parser and decoder history differ";
}

TEST(Parser, TokensRebuildTheInputAtEveryLevel) {
  for (const Level& level : kParsers) {
    for (const auto& input : Inputs()) {
      SCOPED_TRACE(std::string(level.name) + ", " + input.first);
      ParseAndReplay(level, input.second, 1u << 16);
    }
  }
}

TEST(Parser, BlockBoundariesDoNotBreakMatches) {
  // Tiny blocks put a boundary inside nearly every match.
  std::string text;
  for (int i = 0; i < 400; ++i) text += "abcabcabd" + std::to_string(i % 7);
  for (const Level& level : kParsers) {
    SCOPED_TRACE(level.name);
    ParseAndReplay(level, text, 37);
  }
}

// The lazy parser starts a match a byte later only when that saves more
// than one bit per byte it leaves as a literal. Under the default prices a
// 5-byte match at distance 24 saves 28 bits at p; the one at p + 1 saves
// 29 bits at distance 10 and 30 at distance 6 (one extra bit fewer each).
TEST(Parser, ALaterStartMustSaveMoreThanABitPerByteItSkips) {
  const struct {
    const char* why;
    uint32_t later;  // distance of the match at p + 1
    TokenKind at_p;
  } cases[] = {
      {"one bit more does not pay for the literal", 10, kNewMatch},
      {"two bits more do", 6, kLiteral},
  };
  const uint32_t p = 24;
  for (const auto& c : cases) {
    // Bytes of their own everywhere else, so that no other match exists.
    std::string data;
    for (uint32_t i = 0; i < p; ++i) data += static_cast<char>(0x80 + i);
    data.replace(0, 5, "abcde");
    data.replace(p + 1 - c.later, 5, "bcdeX");
    data += "abcdeX!?";
    History history;
    MatchFinder finder(FinderKind::kChains, 16, 32, 64);
    Parser parser({1, true, false, 64}, &history, &finder);
    history.Reset();
    finder.Reset();
    parser.Reset();
    std::memcpy(history.Reserve(static_cast<uint32_t>(data.size()), history.end()), data.data(), data.size());
    history.Commit(static_cast<uint32_t>(data.size()));
    Prices prices;
    prices.SetDefault();
    RecentState state;
    std::vector<Token> tokens;
    parser.Parse(history.start(), history.end(), history.end(), prices, &state, &tokens);
    uint32_t at = 0;
    size_t t = 0;
    for (; t < tokens.size() && at < p; ++t) at += tokens[t].length;
    ASSERT_EQ(at, p) << c.why;
    ASSERT_LT(t, tokens.size()) << c.why;
    EXPECT_EQ(tokens[t].kind, c.at_p) << c.why;
    if (c.at_p == kNewMatch) {
      EXPECT_EQ(tokens[t].distance, 24u) << c.why;
    }
  }
}

}  // namespace
}  // namespace pack
