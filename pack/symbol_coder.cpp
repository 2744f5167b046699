#include "pack/symbol_coder.h"

namespace pack {

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
