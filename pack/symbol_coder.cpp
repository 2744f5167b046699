#include "pack/symbol_coder.h"

namespace pack {

TokenSymbols SymbolsOf(const Token& token) {
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

namespace {
// The price of a symbol that has no code in the current table.
constexpr uint32_t kMissingCodeBits = 13;

uint32_t PriceOf(uint8_t length) { return length ? length : kMissingCodeBits; }
}  // namespace

void Prices::Set(const CodeLengths& lengths) {
  for (int i = 0; i < kMainSymbols; ++i) main_[i] = PriceOf(lengths.main[i]);
  for (int i = 0; i < kDistSymbols; ++i) dist_[i] = PriceOf(lengths.dist[i]) + kDistBits[i];
  for (int i = 0; i < kRepLengthSymbols; ++i) rep_length_[i] = PriceOf(lengths.rep_length[i]);
  for (uint32_t value = 0; value <= kMaxLengthValue; ++value) {
    SlotCode slot = LengthSlot(value);
    new_length_[value] = main_[kFirstLengthSymbol + slot.slot] + slot.bits;
    recent_length_[value] = rep_length_[slot.slot] + slot.bits;
  }
  for (uint32_t distance = 1; distance <= kMaxShortDistance; ++distance) {
    SlotCode slot = ShortSlot(distance);
    short_[distance - 1] = main_[kFirstShortSymbol + slot.slot] + slot.bits;
  }
}

void Prices::SetDefault() {
  CodeLengths lengths;
  for (int i = 0; i < kMainSymbols; ++i) lengths.main[i] = i < 256 ? 9 : 8;
  for (int i = 0; i < kDistSymbols; ++i) lengths.dist[i] = 6;
  for (int i = 0; i < kRepLengthSymbols; ++i) lengths.rep_length[i] = i < 8 ? 3 : 6;
  lengths.main[kFirstRecentSymbol] = 4;
  Set(lengths);
}

}  // namespace pack
