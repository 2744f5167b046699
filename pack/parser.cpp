#include "pack/parser.h"

#include <algorithm>

#include "pack/lz_format.h"

namespace pack {

namespace {

constexpr uint32_t kNoCost = UINT32_MAX;
// The optimal parser settles its path at least this often, which bounds
// its node arrays. Every settling cuts the matches that would cross it.
constexpr uint32_t kSegmentBytes = 16384;

Token MakeToken(TokenKind kind, uint32_t length, uint32_t distance, uint8_t value = 0) {
  return Token{distance, static_cast<uint16_t>(length), kind, value};
}

}  // namespace

Parser::Parser(const ParserSettings& settings, History* history, MatchFinder* finder)
    : settings_(settings), history_(history), finder_(finder) {}

void Parser::Reset() { next_insert_ = history_->start(); }

void Parser::InsertUpTo(uint32_t position, uint32_t data_end) {
  for (; next_insert_ < position; ++next_insert_) {
    if (next_insert_ + kHashedBytes <= data_end) finder_->Insert(*history_, next_insert_);
  }
}

// ---------------------------------------------------------------------------
// Lazy parsing

Parser::Candidate Parser::BestAt(uint32_t position, uint32_t data_end, const Prices& prices, const RecentState& state) {
  // A position is recorded once; the lazy look-ahead may come back to it.
  bool record = position >= next_insert_;
  Candidate best{MakeToken(kLiteral, 1, 0, *history_->At(position)), 0};
  uint32_t room = std::min(kMaxMatch, data_end - position);
  const uint8_t* here = history_->At(position);
  // literal_bits[n]: what the first n bytes cost as literals.
  uint32_t literal_bits[kMaxMatch + 1];
  uint32_t priced = 0;
  literal_bits[0] = 0;
  auto literals = [&](uint32_t n) {
    for (; priced < n; ++priced) literal_bits[priced + 1] = literal_bits[priced] + prices.Literal(here[priced]);
    return static_cast<int32_t>(literal_bits[n]);
  };
  auto consider = [&](const Token& token, uint32_t bits) {
    int32_t saving = literals(token.length) - static_cast<int32_t>(bits);
    if (saving > best.saving) best = Candidate{token, saving};
  };

  uint32_t lowest = history_->WindowStart(position);
  if (record) next_insert_ = position + 1;
  if (room < 2) return best;

  for (int k = 0; k < 4; ++k) {
    uint32_t distance = state.Recent(k);
    if (distance == 0 || distance > position - history_->start()) continue;
    // The repeat of the last match may be longer than a recent-distance
    // match can code.
    uint32_t whole = MatchLength(here - distance, here, room);
    if (k == 0 && state.last_length >= 2 && distance == state.last_distance && whole >= state.last_length) {
      consider(MakeToken(kRepeatLast, state.last_length, distance), prices.RepeatLast());
    }
    uint32_t length = std::min(whole, MaxRecentMatch(distance));
    if (length >= MinRecentMatch(distance)) {
      consider(MakeToken(kRecentMatch, length, distance, static_cast<uint8_t>(k)),
               prices.RecentMatch(k, length, distance));
    }
  }
  // A repeat at a recent distance as long as the nice length is taken as it
  // stands: the position is only recorded, not searched.
  if (best.token.kind != kLiteral && best.token.length >= settings_.nice_length) {
    if (record && room >= kHashedBytes) finder_->Insert(*history_, position);
    return best;
  }
  if (room >= kHashedBytes) {
    Match matches[kMaxMatchesPerPosition];
    int count = finder_->FindMatches(*history_, position, room, lowest, record, matches);
    for (int i = 0; i < count; ++i) {
      uint32_t length = std::min(matches[i].length, MaxNewMatch(matches[i].distance));
      consider(MakeToken(kNewMatch, length, matches[i].distance), prices.NewMatch(length, matches[i].distance));
    }
  }
  uint32_t short_distance = finder_->FindShortMatch(*history_, position, lowest, record);
  if (short_distance != 0) {
    consider(MakeToken(kShortMatch, 2, short_distance), prices.ShortMatch(short_distance));
  }
  return best;
}

uint32_t Parser::Parse(uint32_t position, uint32_t stop, uint32_t data_end, const Prices& prices, RecentState* state,
                       std::vector<Token>* tokens) {
  if (next_insert_ < position) {
    // Positions a greedy parse skipped inside matches are not recorded.
    if (settings_.insert_in_matches)
      InsertUpTo(position, data_end);
    else
      next_insert_ = position;
  }
  Candidate current = BestAt(position, data_end, prices, *state);
  uint32_t misses = 0;  // positions searched in a row without a match
  while (position < stop) {
    if (current.token.kind != kLiteral && current.token.length < settings_.nice_length) {
      // Would starting one or two bytes later save more?
      for (int step = 1; step <= settings_.lazy_steps && position + step < stop; ++step) {
        Candidate later = BestAt(position + step, data_end, prices, *state);
        if (later.saving <= current.saving + step) continue;
        for (int i = 0; i < step; ++i) {
          tokens->push_back(MakeToken(kLiteral, 1, 0, *history_->At(position + i)));
        }
        position += step;
        current = later;
        step = 0;  // weigh the new choice against its own successors
        if (current.token.length >= settings_.nice_length) break;
      }
    }
    const Token& token = current.token;
    tokens->push_back(token);
    if (token.kind != kLiteral) state->Record(token.length, token.distance);
    position += token.length;
    if (settings_.insert_in_matches)
      InsertUpTo(position, data_end);
    else
      next_insert_ = std::max(next_insert_, position);
    misses = token.kind == kLiteral ? misses + 1 : 0;
    // Through data without matches (already compressed), search fewer
    // positions; they are still recorded, so that a later copy of the data
    // is found. The first match found returns to searching every position.
    for (uint32_t skip = SkipAfter(misses); skip > 0 && position < stop; --skip, ++position) {
      tokens->push_back(MakeToken(kLiteral, 1, 0, *history_->At(position)));
      InsertUpTo(position + 1, data_end);
    }
    if (position < stop) current = BestAt(position, data_end, prices, *state);
  }
  return position;
}

// ---------------------------------------------------------------------------
// Optimal parsing

namespace {

// How a node was reached. Kept with the node it was reached from as its
// source: the token follows from the way, the distance between the nodes
// and the earlier node's match history.
enum Way : uint32_t {
  kWayLiteral = 0,
  kWayShort = 1,
  kWayRepeat = 2,
  kWayRecent = 3,  // 3..6: recent distance 0..3
  kWayNew = 7,     // 7..22: match m of the earlier node's position
};
constexpr uint32_t kWayBits = 5;
static_assert(kWayNew + kMaxMatchesPerPosition <= (1u << kWayBits), "a way fits its bits");

// Lowers the costs of `count` nodes in a row to `base` plus each one's
// price, where that is cheaper, and records `source` as the way there.
// Without branches, so that the compiler runs it several nodes at a time.
inline void RelaxRun(uint32_t* __restrict costs, uint32_t* __restrict sources, uint32_t count, uint32_t base,
                     const uint32_t* __restrict prices, uint32_t source) {
  for (uint32_t n = 0; n < count; ++n) {
    uint32_t cost = base + prices[n];
    bool cheaper = cost < costs[n];
    costs[n] = cheaper ? cost : costs[n];
    sources[n] = cheaper ? source : sources[n];
  }
}

}  // namespace

Token Parser::TokenTo(uint32_t segment, uint32_t i) const {
  uint32_t source = sources_[i];
  uint32_t from = source >> kWayBits;
  uint32_t way = source & ((1u << kWayBits) - 1);
  uint32_t length = i - from;
  uint32_t q = segment + from;
  if (way == kWayLiteral) return MakeToken(kLiteral, 1, 0, *history_->At(q));
  if (way == kWayShort) return MakeToken(kShortMatch, 2, matches_->ShortDistance(q));
  const RecentState& before = states_[from];
  if (way == kWayRepeat) return MakeToken(kRepeatLast, length, before.last_distance);
  if (way < kWayNew) {
    int k = static_cast<int>(way - kWayRecent);
    return MakeToken(kRecentMatch, length, before.Recent(k), static_cast<uint8_t>(k));
  }
  return MakeToken(kNewMatch, length, matches_->Ladder(q)[way - kWayNew].distance);
}

void Parser::SettleState(uint32_t segment, uint32_t i) {
  Token token = TokenTo(segment, i);
  states_[i] = states_[sources_[i] >> kWayBits];
  if (token.kind != kLiteral) states_[i].Record(token.length, token.distance);
}

// Lowers the cost of every node that a token from node i (reached at
// `node_cost`) leads to, within the `span` nodes of the segment at
// `position`: a literal, the repeat of the last match, matches at the
// recent distances, a short match and the new matches of i's ladder.
void Parser::RelaxFrom(uint32_t position, uint32_t i, uint32_t span, uint32_t node_cost, const Prices& prices) {
  uint32_t* costs = costs_.data();
  uint32_t* sources = sources_.data();
  uint32_t q = position + i;
  const uint8_t* here = history_->At(q);
  uint32_t room = std::min(kMaxMatch, span - i);
  uint32_t from = i << kWayBits;
  auto relax = [&](uint32_t length, uint32_t cost, uint32_t way) {
    if (cost < costs[i + length]) {
      costs[i + length] = cost;
      sources[i + length] = from | way;
    }
  };
  relax(1, node_cost + prices.Literal(here[0]), kWayLiteral);
  if (room < 2) return;

  const RecentState& history = states_[i];
  // New matches are tried only beyond the longest recent-distance match,
  // which codes the same bytes without the distance.
  uint32_t covered = 2;
  for (int k = 0; k < 4; ++k) {
    uint32_t distance = history.Recent(k);
    if (distance == 0 || distance > q - history_->start()) continue;
    bool seen = false;
    for (int j = 0; j < k; ++j) seen |= history.Recent(j) == distance;
    if (seen) continue;
    uint32_t whole = MatchLength(here - distance, here, room);
    if (k == 0 && history.last_length >= 2 && distance == history.last_distance && whole >= history.last_length) {
      relax(history.last_length, node_cost + prices.RepeatLast(), kWayRepeat);
    }
    uint32_t top = std::min(whole, MaxRecentMatch(distance));
    uint32_t first = MinRecentMatch(distance);
    if (top < first) continue;
    covered = std::max(covered, top);
    RelaxRun(costs + i + first, sources + i + first, top - first + 1, node_cost + prices.RecentSymbol(k),
             prices.RecentLengths(), from | (kWayRecent + k));
  }
  uint32_t short_distance = matches_->ShortDistance(q);
  if (short_distance != 0) relax(2, node_cost + prices.ShortMatch(short_distance), kWayShort);
  const Match* ladder = matches_->Ladder(q);
  for (int m = 0; m < matches_->LadderSize(q); ++m) {
    uint32_t distance = ladder[m].distance;
    uint32_t top = std::min({ladder[m].length, room, MaxNewMatch(distance)});
    uint32_t first = MinNewMatch(distance);
    uint32_t low = std::max(covered + 1, first);
    if (low <= top) {
      RelaxRun(costs + i + low, sources + i + low, top - low + 1, node_cost + prices.Distance(distance),
               prices.NewLengths() + (low - first), from | (kWayNew + m));
    }
    covered = std::max(covered, top);
  }
}

// Appends the cheapest path to node `end` of the segment at `position`,
// walked back from its end and handed out in order.
void Parser::Backtrack(uint32_t position, uint32_t end, std::vector<Token>* tokens) const {
  size_t first = tokens->size();
  for (uint32_t i = end; i > 0; i = sources_[i] >> kWayBits) tokens->push_back(TokenTo(position, i));
  std::reverse(tokens->begin() + first, tokens->end());
}

namespace {

// The token for a match long enough to be taken without weighing others,
// as `state` stands before it: a new match, or the same bytes coded at a
// recent distance or as the repeat of the last match where that is cheaper.
Token ForcedToken(const Match& forced, const Prices& prices, const RecentState& state) {
  uint32_t length = CodableLength(forced);
  Token token = MakeToken(kNewMatch, length, forced.distance);
  uint32_t bits = prices.NewMatch(length, forced.distance);
  for (int k = 0; k < 4; ++k) {
    uint32_t distance = state.Recent(k);
    if (distance == forced.distance && length >= MinRecentMatch(distance) && length <= MaxRecentMatch(distance) &&
        prices.RecentMatch(k, length, distance) < bits) {
      token = MakeToken(kRecentMatch, length, distance, static_cast<uint8_t>(k));
      bits = prices.RecentMatch(k, length, distance);
    }
  }
  // A repeat of the last match is one symbol without extra bits: the
  // cheapest way whenever it fits, even before its symbol has a code.
  if (state.last_length == length && state.last_distance == forced.distance) {
    token = MakeToken(kRepeatLast, length, forced.distance);
  }
  return token;
}

}  // namespace

uint32_t Parser::ParseOptimal(const BlockMatches& matches, uint32_t position, const Prices& prices, RecentState* state,
                              std::vector<Token>* tokens) {
  matches_ = &matches;
  uint32_t stop = matches.stop();
  while (position < stop) {
    uint32_t span = std::min(stop - position, kSegmentBytes);
    costs_.assign(span + 1, kNoCost);
    sources_.resize(span + 1);
    states_.resize(span + 1);
    costs_[0] = 0;
    states_[0] = *state;

    // Nodes settle in order: every way into node i starts before it. A
    // match as long as the nice length ends the segment at its start, and
    // is taken there as it is.
    uint32_t end = span;
    const Match* forced = nullptr;
    for (uint32_t i = 0; i < span; ++i) {
      uint32_t node_cost = costs_[i];
      if (node_cost == kNoCost) continue;
      if (i > 0) SettleState(position, i);
      uint32_t q = position + i;
      int ladder_size = matches.LadderSize(q);
      const Match* longest = ladder_size > 0 ? &matches.Ladder(q)[ladder_size - 1] : nullptr;
      if (longest != nullptr && CodableLength(*longest) >= settings_.nice_length) {
        end = i;
        forced = longest;
        break;
      }
      RelaxFrom(position, i, span, node_cost, prices);
    }

    if (end > 0) SettleState(position, end);
    Backtrack(position, end, tokens);
    *state = states_[end];
    position += end;
    if (forced != nullptr) {
      Token token = ForcedToken(*forced, prices, *state);
      tokens->push_back(token);
      state->Record(token.length, forced->distance);
      position += token.length;
    }
  }
  return position;
}

}  // namespace pack
