#include "pack/fast_parser.h"

#include <algorithm>
#include <cstring>

#include "pack/byte_hash.h"
#include "pack/lz_format.h"
#include "pack/match_finder.h"

namespace pack {

namespace {

// Table sizes: 256 KiB near, 2 MiB far, 64 KiB for 3 bytes, 256 KiB for
// pairs. Together they stay in the second-level cache.
constexpr int kNearBits = 16;
constexpr int kFarBits = 18;
constexpr int kThreeBits = 14;
// Positions inside a match kept in both tables: every this many.
constexpr uint32_t kInsideStep = 4;
// The slots of the next position are asked for while this one is searched.
constexpr uint32_t kPrefetchDistance = 1;
// The last positions of a match kept for the short matches.
constexpr uint32_t kShortKept = 8;
// A short match's length: symbols 261..268 copy 2 bytes.
constexpr uint32_t kShortLength = 2;

uint32_t FarIndex(uint64_t hash) { return static_cast<uint32_t>(hash >> (64 - kFarBits)); }

uint32_t ThreeHash(const uint8_t* bytes) { return ((Load32(bytes) & 0xFFFFFF) * 2654435761u) >> (32 - kThreeBits); }

// Whether a table's `candidate` may be matched from `position`: inside the
// window, and before it. Positions count from 1 and `lowest` is never
// below that, so an empty slot (0) is never usable.
bool Usable(uint32_t candidate, uint32_t lowest, uint32_t position) {
  return candidate >= lowest && candidate < position;
}

Token MakeToken(TokenKind kind, uint32_t length, uint32_t distance, uint8_t value = 0) {
  return Token{distance, static_cast<uint16_t>(length), kind, value};
}

}  // namespace

FastParser::FastParser(const History* history)
    : history_(history),
      near_(size_t{1} << kNearBits),
      far_(size_t{1} << kFarBits),
      three_(size_t{1} << kThreeBits),
      pairs_(size_t{1} << 16) {}

void FastParser::Reset() {
  std::fill(near_.begin(), near_.end(), 0);
  std::fill(far_.begin(), far_.end(), FarSlot{0, 0});
  std::fill(three_.begin(), three_.end(), 0);
  std::fill(pairs_.begin(), pairs_.end(), 0);
}

void FastParser::Insert(uint32_t position) {
  const uint8_t* here = history_->At(position);
  near_[HashOf4(here, kNearBits)] = position;
  uint64_t hash = HashOf8(here);
  far_[FarIndex(hash)] = FarSlot{position, static_cast<uint32_t>(hash)};
}

void FastParser::AddMatch(uint32_t length, uint32_t distance, RecentState* state, std::vector<Token>* tokens,
                          BlockPlan* counts) const {
  // The first token: a new match unless the distance is a recent one,
  // which codes the same bytes without the distance.
  int recent = -1;
  for (int k = 0; k < 4 && recent < 0; ++k) {
    if (state->Recent(k) == distance) recent = k;
  }
  uint32_t high = recent >= 0 ? MaxRecentMatch(distance) : MaxNewMatch(distance);
  if (recent < 0 && length == kShortLength) {
    tokens->push_back(MakeToken(kShortMatch, length, distance));
    CountToken(tokens->back(), counts);
    state->Record(length, distance);
    return;
  }
  while (length > 0) {
    // What is left after a token is either nothing or long enough for the
    // next one (at the newest distance), so every byte of the match is coded.
    uint32_t piece = std::min(length, high);
    uint32_t rest = length - piece;
    if (rest != 0 && rest < MinRecentMatch(distance)) piece -= MinRecentMatch(distance) - rest;
    Token token;
    if (recent == 0 && piece == state->last_length)
      token = MakeToken(kRepeatLast, piece, distance);
    else if (recent >= 0)
      token = MakeToken(kRecentMatch, piece, distance, static_cast<uint8_t>(recent));
    else
      token = MakeToken(kNewMatch, piece, distance);
    tokens->push_back(token);
    CountToken(token, counts);
    state->Record(piece, distance);
    length -= piece;
    recent = 0;
    high = MaxRecentMatch(distance);
  }
}

uint32_t FastParser::Parse(uint32_t position, uint32_t stop, uint32_t data_end, const Prices& prices,
                           RecentState* state, std::vector<Token>* tokens, BlockPlan* counts) {
  const History& history = *history_;
  std::memset(counts->main, 0, sizeof counts->main);
  std::memset(counts->dist, 0, sizeof counts->dist);
  std::memset(counts->rep_length, 0, sizeof counts->rep_length);
  uint32_t* literal_counts = counts->main;
  uint32_t anchor = position;  // the first byte no token covers yet
  uint32_t ip = position;      // the position searched next
  auto literals_to = [&](uint32_t end) {
    if (anchor >= end) return;
    // Filled through locals: a store through the vector might be a history
    // byte for all the compiler knows, and would reload both at every byte.
    size_t at = tokens->size();
    tokens->resize(at + (end - anchor));
    Token* out = tokens->data() + at;
    const uint8_t* bytes = history.At(anchor);
    for (uint32_t i = 0; i < end - anchor; ++i) {
      out[i] = MakeToken(kLiteral, 1, 0, bytes[i]);
      ++literal_counts[bytes[i]];
    }
    anchor = end;
  };
  // Whether a match at `distance` from `at` reads only bytes of the window.
  auto reaches = [&](uint32_t distance, uint32_t at) {
    return distance != 0 && distance <= at - history.WindowStart(at);
  };
  // A search hashes 8 bytes and looks one byte on: it stops short of the end.
  while (ip < stop && data_end - ip > kFastHashedBytes) {
    const uint8_t* here = history.At(ip);
    const uint8_t* next = here + 1;
    uint32_t lowest = history.WindowStart(ip);
    if (data_end - ip > kFastHashedBytes + kPrefetchDistance) {
      const uint8_t* ahead = here + kPrefetchDistance;
      __builtin_prefetch(&near_[HashOf4(ahead, kNearBits)]);
      __builtin_prefetch(&far_[FarIndex(HashOf8(ahead))]);
      __builtin_prefetch(&three_[ThreeHash(ahead)]);
    }
    uint32_t near_hash = HashOf4(here, kNearBits);
    uint64_t far_hash = HashOf8(here);
    uint32_t near = near_[near_hash];
    FarSlot far = far_[FarIndex(far_hash)];
    near_[near_hash] = ip;
    far_[FarIndex(far_hash)] = FarSlot{ip, static_cast<uint32_t>(far_hash)};

    uint32_t start = ip;
    uint32_t distance = 0;
    uint32_t length = 0;
    // The two newest distances one byte on: where a repeat goes on after a
    // changed byte, or after an inserted one.
    for (int k = 0; k < 2 && length == 0; ++k) {
      uint32_t recent = state->Recent(k);
      if (reaches(recent, ip + 1) && Load32(next - recent) == Load32(next)) {
        start = ip + 1;
        distance = recent;
        length = 4 + MatchLength(next - recent + 4, next + 4, data_end - start - 4);
      }
    }
    if (length != 0) {
      // Taken as it is.
    } else if (far.check == static_cast<uint32_t>(far_hash) && Usable(far.position, lowest, ip) &&
               Load64(history.At(far.position)) == Load64(here)) {
      distance = ip - far.position;
      length = 8 + MatchLength(history.At(far.position) + 8, here + 8, data_end - ip - 8);
    } else if (Usable(near, lowest, ip) && Load32(history.At(near)) == Load32(here)) {
      // A longer match from the far table one byte on wins over this one.
      uint64_t next_hash = HashOf8(next);
      FarSlot far_next = far_[FarIndex(next_hash)];
      far_[FarIndex(next_hash)] = FarSlot{ip + 1, static_cast<uint32_t>(next_hash)};
      if (far_next.check == static_cast<uint32_t>(next_hash) &&
          Usable(far_next.position, history.WindowStart(ip + 1), ip + 1) &&
          Load64(history.At(far_next.position)) == Load64(next)) {
        start = ip + 1;
        distance = start - far_next.position;
        length = 8 + MatchLength(history.At(far_next.position) + 8, next + 8, data_end - start - 8);
      } else {
        distance = ip - near;
        length = 4 + MatchLength(history.At(near) + 4, here + 4, data_end - ip - 4);
      }
    } else {
      // No match of 4 bytes: a near one of 3, or of 2 within 256 bytes,
      // each taken only where it costs less than its literals.
      uint32_t& three = three_[ThreeHash(here)];
      uint32_t& pair = pairs_[here[0] | (here[1] << 8)];
      uint32_t three_at = three;
      uint32_t pair_at = pair;
      three = ip;
      pair = ip;
      uint32_t pair_bits = prices.Literal(here[0]) + prices.Literal(here[1]);
      if (Usable(three_at, lowest, ip) && ip - three_at < kLongDistance &&
          (Load32(history.At(three_at)) & 0xFFFFFF) == (Load32(here) & 0xFFFFFF) &&
          prices.NewMatch(3, ip - three_at) < pair_bits + prices.Literal(here[2])) {
        distance = ip - three_at;
        length = 3;
      } else if (Usable(pair_at, lowest, ip) && ip - pair_at <= kMaxShortDistance &&
                 Load32(history.At(pair_at)) << 16 == Load32(here) << 16 &&
                 prices.ShortMatch(ip - pair_at) < pair_bits) {
        distance = ip - pair_at;
        length = kShortLength;
      }
    }
    // Far matches must be longer to be coded at all.
    if (length < MinNewMatch(distance) && length != kShortLength) {
      // Through data without matches the search steps further, as the
      // other parsers do, counting the literals since the last match.
      ip += 1 + SkipAfter(ip - anchor);
      continue;
    }
    // The match may start earlier, over literals not yet coded.
    while (start > anchor && reaches(distance, start - 1) &&
           *history.At(start - 1) == *history.At(start - 1 - distance)) {
      --start;
      ++length;
    }
    literals_to(start);
    AddMatch(length, distance, state, tokens, counts);
    anchor = start + length;
    // Every fourth position inside the match is kept in both tables, so
    // that a later copy of its bytes is found from anywhere in it, and the
    // last two, for what follows it. The last few are kept for the short
    // matches too: those must be near.
    if (data_end - anchor >= kFastHashedBytes) {
      for (uint32_t q = start + 1; q < anchor - 2; q += kInsideStep) Insert(q);
      for (uint32_t q = anchor - std::min(kShortKept, anchor - start); q < anchor; ++q) {
        const uint8_t* bytes = history.At(q);
        three_[ThreeHash(bytes)] = q;
        pairs_[bytes[0] | (bytes[1] << 8)] = q;
      }
      Insert(anchor - 2);
      Insert(anchor - 1);
    }
    ip = anchor;
    // What follows a match often repeats the distance before it.
    while (data_end - ip > kFastHashedBytes) {
      uint32_t before = state->Recent(1);
      const uint8_t* at = history.At(ip);
      if (!reaches(before, ip) || Load32(at - before) != Load32(at)) break;
      uint32_t repeat = 4 + MatchLength(at - before + 4, at + 4, data_end - ip - 4);
      if (repeat < MinRecentMatch(before)) break;
      AddMatch(repeat, before, state, tokens, counts);
      Insert(ip);
      ip += repeat;
      anchor = ip;
    }
  }
  literals_to(std::max(anchor, std::min(stop, data_end)));
  return anchor;
}

}  // namespace pack
