#include "pack/parser.h"

#include <algorithm>

#include "pack/block_encoder.h"
#include "pack/lz_format.h"

namespace pack {

namespace {

constexpr uint32_t kNoCost = UINT32_MAX;
// The optimal parser settles its path at least this often, which bounds
// its node array.
constexpr uint32_t kSegmentBytes = 4096;
// After this many fruitless searches in a row, one more position goes
// unsearched per search, up to kMaxSkip.
constexpr uint32_t kMissesPerSkip = 32;
constexpr uint32_t kMaxSkip = 7;

uint32_t SkipAfter(uint32_t misses) { return std::min(misses / kMissesPerSkip, kMaxSkip); }

Token MakeToken(TokenKind kind, uint32_t length, uint32_t distance, uint8_t value = 0) {
  return Token{distance, static_cast<uint16_t>(length), kind, value};
}

// How much of a found match a new-match token can code.
uint32_t CodableLength(const Match& match) { return std::min(match.length, MaxNewMatch(match.distance)); }

}  // namespace

Parser::Parser(const ParserSettings& settings, History* history, MatchFinder* finder)
    : settings_(settings), history_(history), finder_(finder) {}

void Parser::Reset() { next_insert_ = history_->start(); }

uint32_t Parser::Lowest(uint32_t position) const {
  uint32_t window_start = position > kWindowBytes ? position - kWindowBytes : 0;
  return std::max(history_->start(), window_start);
}

void Parser::InsertUpTo(uint32_t position, uint32_t data_end) {
  for (; next_insert_ < position; ++next_insert_) {
    if (next_insert_ + kHashedBytes <= data_end) finder_->Insert(*history_, next_insert_);
  }
}

uint32_t Parser::Parse(uint32_t position, uint32_t stop, uint32_t data_end, const Prices& prices,
                       RecentState* state, std::vector<Token>* tokens) {
  if (next_insert_ < position) {
    // Positions a greedy parse skipped inside matches are not recorded.
    if (settings_.insert_in_matches) InsertUpTo(position, data_end); else next_insert_ = position;
  }
  if (settings_.optimal) return ParseOptimal(position, stop, data_end, prices, state, tokens);
  return ParseLazy(position, stop, data_end, prices, state, tokens);
}

// ---------------------------------------------------------------------------
// Lazy parsing

Parser::Candidate Parser::BestAt(uint32_t position, uint32_t data_end, const Prices& prices,
                                 const RecentState& state) {
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

  uint32_t lowest = Lowest(position);
  if (record) next_insert_ = position + 1;
  if (room < 2) return best;

  for (int k = 0; k < 4; ++k) {
    uint32_t distance = state.Recent(k);
    if (distance == 0 || distance > position - history_->start()) continue;
    // The repeat of the last match may be longer than a recent-distance
    // match can code.
    uint32_t whole = MatchLength(here - distance, here, room);
    if (k == 0 && state.last_length >= 2 && distance == state.last_distance &&
        whole >= state.last_length) {
      consider(MakeToken(kRepeatLast, state.last_length, distance), prices.RepeatLast());
    }
    uint32_t length = std::min(whole, MaxRecentMatch(distance));
    if (length >= MinRecentMatch(distance)) {
      consider(MakeToken(kRecentMatch, length, distance, static_cast<uint8_t>(k)),
               prices.RecentMatch(k, length, distance));
    }
  }
  if (room >= kHashedBytes) {
    Match matches[kMaxMatchesPerPosition];
    int count = finder_->FindMatches(*history_, position, room, lowest, record, matches);
    for (int i = 0; i < count; ++i) {
      uint32_t length = std::min(matches[i].length, MaxNewMatch(matches[i].distance));
      consider(MakeToken(kNewMatch, length, matches[i].distance),
               prices.NewMatch(length, matches[i].distance));
    }
  }
  uint32_t short_distance = finder_->FindShortMatch(*history_, position, lowest, record);
  if (short_distance != 0) {
    consider(MakeToken(kShortMatch, 2, short_distance), prices.ShortMatch(short_distance));
  }
  return best;
}

uint32_t Parser::ParseLazy(uint32_t position, uint32_t stop, uint32_t data_end,
                           const Prices& prices, RecentState* state, std::vector<Token>* tokens) {
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
    if (settings_.insert_in_matches) InsertUpTo(position, data_end); else next_insert_ = std::max(next_insert_, position);
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

void Parser::CollectMatches(uint32_t position, uint32_t stop, uint32_t data_end) {
  uint32_t count = stop - position;
  block_start_ = position;
  match_begin_.assign(count + 1, 0);
  short_distance_.assign(count, 0);
  matches_.clear();
  uint32_t misses = 0;
  uint32_t search_from = position;  // positions before it are recorded, not searched
  for (uint32_t q = position; q < stop; ++q) {
    match_begin_[q - position] = static_cast<uint32_t>(matches_.size());
    if (q < next_insert_) continue;  // inside a long match: recorded already
    next_insert_ = q + 1;
    if (q < search_from) {
      if (q + kHashedBytes <= data_end) finder_->Insert(*history_, q);
      continue;
    }
    uint32_t room = std::min(kMaxMatch, data_end - q);
    if (room < 2) continue;
    uint32_t lowest = Lowest(q);
    if (room >= kHashedBytes) {
      Match found[kMaxMatchesPerPosition];
      int n = finder_->FindMatches(*history_, q, room, lowest, true, found);
      matches_.insert(matches_.end(), found, found + n);
      if (n > 0 && CodableLength(found[n - 1]) >= settings_.nice_length) {
        // Taken as it is: the positions it covers need no search.
        uint32_t end = std::min(q + CodableLength(found[n - 1]), stop);
        for (uint32_t r = q + 1; r < end; ++r) {
          if (r + kHashedBytes <= data_end) finder_->Insert(*history_, r);
        }
        next_insert_ = end;
      }
    }
    short_distance_[q - position] =
        static_cast<uint16_t>(finder_->FindShortMatch(*history_, q, lowest, true));
    bool found = match_begin_[q - position] != matches_.size() || short_distance_[q - position] != 0;
    misses = found ? 0 : misses + 1;
    search_from = q + 1 + SkipAfter(misses);
  }
  match_begin_[count] = static_cast<uint32_t>(matches_.size());
}

uint32_t Parser::ParseOptimal(uint32_t position, uint32_t stop, uint32_t data_end,
                              const Prices& prices, RecentState* state,
                              std::vector<Token>* tokens) {
  CollectMatches(position, stop, data_end);
  if (settings_.passes <= 1) return ParseSegments(position, stop, data_end, prices, state, tokens);
  // Earlier passes only serve to price the last one.
  Prices round_prices = prices;
  std::vector<Token> trial;
  for (int pass = 1; pass < settings_.passes; ++pass) {
    trial.clear();
    RecentState scratch = *state;
    ParseSegments(position, stop, data_end, round_prices, &scratch, &trial);
    CodeLengths lengths;
    BlockEncoder::BuildLengths(trial.data(), trial.size(), &lengths);
    round_prices.Set(lengths);
  }
  return ParseSegments(position, stop, data_end, round_prices, state, tokens);
}

uint32_t Parser::ParseSegments(uint32_t position, uint32_t stop, uint32_t data_end,
                               const Prices& prices, RecentState* state,
                               std::vector<Token>* tokens) {
  (void)data_end;
  uint32_t stream_start = history_->start();
  while (position < stop) {
    uint32_t span = std::min(stop - position, kSegmentBytes);
    nodes_.resize(span + 1);
    for (uint32_t i = 0; i <= span; ++i) nodes_[i].cost = kNoCost;
    nodes_[0].cost = 0;
    nodes_[0].state = *state;

    uint32_t end = span;
    const Match* forced = nullptr;
    for (uint32_t i = 0; i < span; ++i) {
      const Node& node = nodes_[i];
      if (node.cost == kNoCost) continue;
      uint32_t q = position + i;
      uint32_t at = q - block_start_;
      const Match* ladder = matches_.data() + match_begin_[at];
      int ladder_size = static_cast<int>(match_begin_[at + 1] - match_begin_[at]);
      if (ladder_size > 0 && CodableLength(ladder[ladder_size - 1]) >= settings_.nice_length) {
        end = i;
        forced = &ladder[ladder_size - 1];
        break;
      }
      const uint8_t* here = history_->At(q);
      uint32_t room = std::min(kMaxMatch, span - i);
      auto relax = [&](uint32_t length, uint32_t bits, const Token& token) {
        Node& target = nodes_[i + length];
        uint32_t cost = node.cost + bits;
        if (cost < target.cost) {
          target.cost = cost;
          target.from = i;
          target.token = token;
          target.state = node.state;
          if (token.kind != kLiteral) target.state.Record(token.length, token.distance);
        }
      };
      relax(1, prices.Literal(here[0]), MakeToken(kLiteral, 1, 0, here[0]));
      if (room < 2) continue;

      const RecentState& history = node.state;
      for (int k = 0; k < 4; ++k) {
        uint32_t distance = history.Recent(k);
        if (distance == 0 || distance > q - stream_start) continue;
        bool seen = false;
        for (int j = 0; j < k; ++j) seen |= history.Recent(j) == distance;
        if (seen) continue;
        uint32_t whole = MatchLength(here - distance, here, room);
        if (k == 0 && history.last_length >= 2 && distance == history.last_distance &&
            whole >= history.last_length) {
          relax(history.last_length, prices.RepeatLast(),
                MakeToken(kRepeatLast, history.last_length, distance));
        }
        uint32_t length = std::min(whole, MaxRecentMatch(distance));
        for (uint32_t l = MinRecentMatch(distance); l <= length; ++l) {
          relax(l, prices.RecentMatch(k, l, distance),
                MakeToken(kRecentMatch, l, distance, static_cast<uint8_t>(k)));
        }
      }
      uint32_t short_distance = short_distance_[at];
      if (short_distance != 0) {
        relax(2, prices.ShortMatch(short_distance), MakeToken(kShortMatch, 2, short_distance));
      }
      uint32_t covered = 2;
      for (int m = 0; m < ladder_size; ++m) {
        uint32_t distance = ladder[m].distance;
        uint32_t top = std::min({ladder[m].length, room, MaxNewMatch(distance)});
        uint32_t base = MinNewMatch(distance);
        uint32_t distance_bits = prices.Distance(distance);
        for (uint32_t l = std::max(covered + 1, base); l <= top; ++l) {
          relax(l, prices.NewLength(l - base) + distance_bits, MakeToken(kNewMatch, l, distance));
        }
        covered = std::max(covered, top);
      }
    }

    // Walk back from the end, then hand the tokens out in order.
    size_t first = tokens->size();
    for (uint32_t i = end; i > 0; i = nodes_[i].from) tokens->push_back(nodes_[i].token);
    std::reverse(tokens->begin() + first, tokens->end());
    *state = nodes_[end].state;
    position += end;

    if (forced != nullptr) {
      uint32_t length = CodableLength(*forced);
      Token token = MakeToken(kNewMatch, length, forced->distance);
      uint32_t bits = prices.NewMatch(length, forced->distance);
      for (int k = 0; k < 4; ++k) {
        uint32_t distance = state->Recent(k);
        if (distance == forced->distance && length >= MinRecentMatch(distance) &&
            length <= MaxRecentMatch(distance) && prices.RecentMatch(k, length, distance) < bits) {
          token = MakeToken(kRecentMatch, length, distance, static_cast<uint8_t>(k));
          bits = prices.RecentMatch(k, length, distance);
        }
      }
      // A repeat of the last match is one symbol without extra bits: the
      // cheapest way whenever it fits, even before its symbol has a code.
      if (state->last_length == length && state->last_distance == forced->distance) {
        token = MakeToken(kRepeatLast, length, forced->distance);
      }
      tokens->push_back(token);
      state->Record(length, forced->distance);
      position += length;
    }
  }
  return position;
}

}  // namespace pack
