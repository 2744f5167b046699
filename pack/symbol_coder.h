// Tokens as Huffman symbols: which main, distance and recent-length symbols
// a token uses, with the extra bits that follow each, and the cost in bits
// of a token under a set of code lengths.
#pragma once

#include <cstdint>

#include "pack/lz_format.h"
#include "pack/token.h"

namespace pack {

// The symbols of one token, in stream order: main symbol, its extra bits,
// then (new matches) the distance symbol and its extra bits, or (recent
// matches) the recent-length symbol and its extra bits.
struct TokenSymbols {
  uint16_t main;
  uint8_t main_bits;
  uint32_t main_extra;
  int16_t second;  // distance or recent-length symbol; -1 when none
  bool second_is_distance;
  uint8_t second_bits;
  uint32_t second_extra;
};

inline TokenSymbols SymbolsOf(const Token& token) {
  TokenSymbols s{};
  s.second = -1;
  switch (token.kind) {
    case kLiteral:
      s.main = token.value;
      break;
    case kRepeatLast:
      s.main = kRepeatLastSymbol;
      break;
    case kShortMatch: {
      SlotCode slot = ShortSlot(token.distance);
      s.main = static_cast<uint16_t>(kFirstShortSymbol + slot.slot);
      s.main_bits = static_cast<uint8_t>(slot.bits);
      s.main_extra = slot.extra;
      break;
    }
    case kNewMatch: {
      SlotCode length = LengthSlot(token.length - MinNewMatch(token.distance));
      SlotCode distance = DistanceSlot(token.distance);
      s.main = static_cast<uint16_t>(kFirstLengthSymbol + length.slot);
      s.main_bits = static_cast<uint8_t>(length.bits);
      s.main_extra = length.extra;
      s.second = static_cast<int16_t>(distance.slot);
      s.second_is_distance = true;
      s.second_bits = static_cast<uint8_t>(distance.bits);
      s.second_extra = distance.extra;
      break;
    }
    case kRecentMatch: {
      SlotCode length = LengthSlot(token.length - MinRecentMatch(token.distance));
      s.main = static_cast<uint16_t>(kFirstRecentSymbol + token.value);
      s.second = static_cast<int16_t>(length.slot);
      s.second_is_distance = false;
      s.second_bits = static_cast<uint8_t>(length.bits);
      s.second_extra = length.extra;
      break;
    }
  }
  return s;
}

// The code lengths of one block (kTableLengthCount: main, distance, recent-length).
struct CodeLengths {
  uint8_t main[kMainSymbols];
  uint8_t dist[kDistSymbols];
  uint8_t rep_length[kRepLengthSymbols];
};

// Costs in bits under given code lengths; a symbol without a code is priced
// as if it got a long one, since the next table will give it one.
class Prices {
 public:
  void Set(const CodeLengths& lengths);
  // A neutral start when no table exists yet.
  void SetDefault();

  uint32_t Literal(uint8_t byte) const { return main_[byte]; }
  uint32_t NewMatch(uint32_t length, uint32_t distance) const {
    return NewLength(length - MinNewMatch(distance)) + Distance(distance);
  }
  uint32_t NewLength(uint32_t value) const { return new_length_[value]; }
  // By length value (length less the distance's shortest), for pricing
  // every length of one match in a row.
  const uint32_t* NewLengths() const { return new_length_; }
  const uint32_t* RecentLengths() const { return recent_length_; }
  uint32_t RecentSymbol(int k) const { return main_[kFirstRecentSymbol + k]; }
  uint32_t Distance(uint32_t distance) const { return dist_[DistanceSlotOf(distance)]; }
  uint32_t RecentMatch(int k, uint32_t length, uint32_t distance) const {
    return main_[kFirstRecentSymbol + k] + recent_length_[length - MinRecentMatch(distance)];
  }
  uint32_t ShortMatch(uint32_t distance) const { return short_[distance - 1]; }
  uint32_t RepeatLast() const { return main_[kRepeatLastSymbol]; }

 private:
  uint32_t main_[kMainSymbols];
  uint32_t dist_[kDistSymbols];
  uint32_t rep_length_[kRepLengthSymbols];
  // Length value -> price of its length slot plus extra bits, per alphabet.
  uint32_t new_length_[kMaxLengthValue + 1];
  uint32_t recent_length_[kMaxLengthValue + 1];
  uint32_t short_[kMaxShortDistance];  // by distance - 1
};

}  // namespace pack
