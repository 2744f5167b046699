// The 2.0 method's alphabets as the compressor sees them: which symbol codes
// which kind of token, and how lengths and distances split into a slot (a
// Huffman symbol) and extra bits read after it. The constants themselves are
// the decoder's (unpack/lz_format.h): one table for both sides.
#pragma once

#include <cstdint>

#include "unpack/lz_format.h"

namespace pack {

// The alphabet sizes, as the compressor's loops count them.
constexpr int kMainSymbols = static_cast<int>(kMainAlphabet);
constexpr int kDistSymbols = static_cast<int>(kDistAlphabet);
constexpr int kRepLengthSymbols = static_cast<int>(kRepLengthAlphabet);
constexpr int kTableLengthCount = static_cast<int>(kTableLengths);
constexpr int kLengthCodeSymbols = static_cast<int>(kLengthCodeAlphabet);

// A new match codes length - 3 - LengthBonus(distance) in a length slot; a
// match at a recent distance codes length - 2 - RecentLengthBonus(distance).
// Far matches thus cannot be shorter than 3 + bonus (or 2 + bonus).
inline uint32_t LengthBonus(uint32_t distance) { return (distance >= kLongDistance) + (distance >= kVeryLongDistance); }
inline uint32_t RecentLengthBonus(uint32_t distance) {
  return (distance >= kRecentNearDistance) + LengthBonus(distance);
}

inline uint32_t MinNewMatch(uint32_t distance) { return kMinNewMatch + LengthBonus(distance); }
inline uint32_t MaxNewMatch(uint32_t distance) { return MinNewMatch(distance) + kMaxLengthValue; }
inline uint32_t MinRecentMatch(uint32_t distance) { return kMinRecentMatch + RecentLengthBonus(distance); }
inline uint32_t MaxRecentMatch(uint32_t distance) { return MinRecentMatch(distance) + kMaxLengthValue; }

// A value split into a slot and the extra bits that follow it.
struct SlotCode {
  uint32_t slot;
  uint32_t bits;   // number of extra bits
  uint32_t extra;  // their value
};

namespace detail {
// The last slot whose base is not above each value, worked out once by the
// compiler: a token's slots are then one load each.
template <uint32_t Values, typename Base, uint32_t N>
struct SlotLookup {
  uint8_t slot[Values] = {};
  constexpr explicit SlotLookup(const Base (&base)[N]) {
    uint32_t s = 0;
    for (uint32_t v = 0; v < Values; ++v) {
      while (s + 1 < N && base[s + 1] <= v) ++s;
      slot[v] = static_cast<uint8_t>(s);
    }
  }
};
constexpr SlotLookup<kMaxLengthValue + 1, uint8_t, kRepLengthAlphabet> kLengthSlots(kLengthBase);
constexpr SlotLookup<kMaxShortDistance, uint8_t, kShortSlots> kShortSlotsOf(kShortBase);
}  // namespace detail

// Length value 0..255 -> slot 0..27 (used by new and recent matches).
inline SlotCode LengthSlot(uint32_t value) {
  uint32_t slot = detail::kLengthSlots.slot[value];
  return SlotCode{slot, kLengthBits[slot], value - kLengthBase[slot]};
}
// The slot alone of distance 1..0x100000: the first four distances have a
// slot each; then every power of two splits into two slots by the bit below
// its top one; from 0x40001 on, slots step by 0x10000.
inline uint32_t DistanceSlotOf(uint32_t distance) {
  uint32_t value = distance - 1;
  if (value < 4) return value;
  if (value >= 0x40000) return 36 + ((value - 0x40000) >> 16);
  uint32_t top = 31 - static_cast<uint32_t>(__builtin_clz(value));
  return 2 * top + ((value >> (top - 1)) & 1);
}
// Distance 1..0x100000 -> slot 0..47, with its extra bits.
inline SlotCode DistanceSlot(uint32_t distance) {
  uint32_t slot = DistanceSlotOf(distance);
  return SlotCode{slot, kDistBits[slot], distance - 1 - kDistBase[slot]};
}
// Distance 1..256 of a 2-byte match -> slot 0..7 (symbol 261 + slot).
inline SlotCode ShortSlot(uint32_t distance) {
  uint32_t slot = detail::kShortSlotsOf.slot[distance - 1];
  return SlotCode{slot, kShortBits[slot], distance - 1 - kShortBase[slot]};
}

}  // namespace pack
