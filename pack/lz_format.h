// The symbol alphabets of the 2.0 method as the compressor sees them: which
// symbol codes which kind of token, and how lengths and distances split into
// a slot (a Huffman symbol) and extra bits read after it.
#pragma once

#include <cstdint>

namespace pack {

// Alphabet sizes; the code-length header carries 298 + 48 + 28 lengths.
constexpr int kMainSymbols = 298;
constexpr int kDistSymbols = 48;
constexpr int kRepLengthSymbols = 28;
constexpr int kTableLengths = kMainSymbols + kDistSymbols + kRepLengthSymbols;  // 374
constexpr int kLengthCodeSymbols = 19;

// Main symbols.
constexpr int kSymRepeatLast = 256;  // the last match again, same length and distance
constexpr int kSymRecent = 257;      // 257..260: recent distance 0 (newest) .. 3
constexpr int kSymShort = 261;       // 261..268: 2-byte match, distance 1..256
constexpr int kSymNewTables = 269;   // a table header follows
constexpr int kSymMatch = 270;       // 270..297: length slot of a new match

constexpr uint32_t kWindowBytes = 0x100000;  // distances run 1..kWindowBytes
constexpr uint32_t kMaxShortDistance = 256;

// A new match codes length - 3 - LengthBonus(distance) in a length slot; a
// match at a recent distance codes length - 2 - RecentLengthBonus(distance).
// Far matches thus cannot be shorter than 3 + bonus (or 2 + bonus).
inline uint32_t LengthBonus(uint32_t distance) {
  return (distance >= 0x2000) + (distance >= 0x40000);
}
inline uint32_t RecentLengthBonus(uint32_t distance) {
  return (distance >= 0x101) + LengthBonus(distance);
}

// The largest coded length value (slot 27: 224 + 31).
constexpr uint32_t kMaxLengthValue = 255;
constexpr uint32_t kMinNewMatch = 3;
constexpr uint32_t kMaxMatch = kMaxLengthValue + kMinNewMatch + 2;  // 260, at 0x40000 or more

inline uint32_t MinNewMatch(uint32_t distance) { return kMinNewMatch + LengthBonus(distance); }
inline uint32_t MaxNewMatch(uint32_t distance) { return MinNewMatch(distance) + kMaxLengthValue; }
inline uint32_t MinRecentMatch(uint32_t distance) { return 2 + RecentLengthBonus(distance); }
inline uint32_t MaxRecentMatch(uint32_t distance) {
  return MinRecentMatch(distance) + kMaxLengthValue;
}

// A value split into a slot and the extra bits that follow it.
struct SlotCode {
  uint32_t slot;
  uint32_t bits;   // number of extra bits
  uint32_t extra;  // their value
};

// Length value 0..255 -> slot 0..27 (used by new and recent matches).
SlotCode LengthSlot(uint32_t value);
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
SlotCode DistanceSlot(uint32_t distance);
// Distance 1..256 of a 2-byte match -> slot 0..7 (symbol 261 + slot).
SlotCode ShortSlot(uint32_t distance);

// Extra-bit counts per slot, for cost estimates.
extern const uint8_t kLengthSlotBits[kRepLengthSymbols];
extern const uint8_t kDistSlotBits[kDistSymbols];

}  // namespace pack
