// The constants of the 2.0 method's LZ coding, once for the decoder and the
// compressor: what each symbol of the main, distance and repeat-length
// alphabets means, the slots lengths and distances split into and the extra
// bits after each, the longer minimum lengths of far matches, and the window.
#pragma once

#include <cstdint>

// A match reaches at most this far back.
constexpr uint32_t kWindowSize = 0x100000;

// Main alphabet: 0..255 literals, then these.
constexpr uint32_t kRepeatLastSymbol = 256;   // the last match again
constexpr uint32_t kFirstRecentSymbol = 257;  // 257..260: recent distance 0 (newest) .. 3
constexpr uint32_t kFirstShortSymbol = 261;   // 261..268: 2-byte matches, short distances
constexpr uint32_t kNewTablesSymbol = 269;
constexpr uint32_t kFirstLengthSymbol = 270;  // 270..297: length slots of a new match
constexpr uint32_t kMainAlphabet = 298;
constexpr uint32_t kDistAlphabet = 48;
constexpr uint32_t kRepLengthAlphabet = 28;  // the length slots again
constexpr uint32_t kShortSlots = kNewTablesSymbol - kFirstShortSymbol;
// A table header codes the lengths of the three alphabets, in this order,
// with a code of its own over 19 symbols.
constexpr uint32_t kTableLengths = kMainAlphabet + kDistAlphabet + kRepLengthAlphabet;  // 374
constexpr uint32_t kLengthCodeAlphabet = 19;

// The code-length alphabet: 0..15 a length, added (modulo 16) to the one the
// previous table had at its place; then three runs, each as long as its base
// plus the value of its extra bits.
constexpr uint32_t kRepeatPrevious = 16;  // 3..6 copies of the previous length
constexpr uint32_t kShortZeroRun = 17;    // 3..10 zeros
constexpr uint32_t kLongZeroRun = 18;     // 11..138 zeros
constexpr uint32_t kRunSymbols = kLengthCodeAlphabet - kRepeatPrevious;
constexpr uint8_t kRunBase[kRunSymbols] = {3, 3, 11};
constexpr uint8_t kRunBits[kRunSymbols] = {2, 3, 7};
constexpr uint32_t LongestRun(uint32_t symbol) {
  return kRunBase[symbol - kRepeatPrevious] + (1u << kRunBits[symbol - kRepeatPrevious]) - 1;
}

// Each slot's base is the previous base plus 2^(previous bit count).
constexpr uint8_t kLengthBase[kRepLengthAlphabet] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[kRepLengthAlphabet] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                     2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

// Distance slots, built the same way; the last twelve step by 0x10000.
constexpr uint32_t kDistBase[kDistAlphabet] = {
    0,       1,       2,       3,       4,       6,       8,       12,      16,      24,      32,      48,
    64,      96,      128,     192,     256,     384,     512,     768,     1024,    1536,    2048,    3072,
    4096,    6144,    8192,    12288,   16384,   24576,   32768,   49152,   65536,   98304,   131072,  196608,
    0x40000, 0x50000, 0x60000, 0x70000, 0x80000, 0x90000, 0xA0000, 0xB0000, 0xC0000, 0xD0000, 0xE0000, 0xF0000};
constexpr uint8_t kDistBits[kDistAlphabet] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                              7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                              15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};

// Short-distance slots of the 2-byte matches.
constexpr uint8_t kShortBase[kShortSlots] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[kShortSlots] = {2, 2, 3, 4, 5, 6, 6, 6};

// True when every base of a slot table is the one before it plus 2 to the
// power of the bits before it, and `end` is one past the last value coded.
template <typename Base, uint32_t N>
constexpr bool SlotsFollowTheirBits(const Base (&base)[N], const uint8_t (&bits)[N], uint32_t end) {
  for (uint32_t i = 1; i < N; ++i) {
    if (base[i] != base[i - 1] + (1u << bits[i - 1])) return false;
  }
  return base[0] == 0 && base[N - 1] + (1u << bits[N - 1]) == end;
}

// The largest value a length slot codes, and the farthest short distance.
constexpr uint32_t kMaxLengthValue =
    kLengthBase[kRepLengthAlphabet - 1] + (1u << kLengthBits[kRepLengthAlphabet - 1]) - 1;                 // 255
constexpr uint32_t kMaxShortDistance = kShortBase[kShortSlots - 1] + (1u << kShortBits[kShortSlots - 1]);  // 256
static_assert(SlotsFollowTheirBits(kLengthBase, kLengthBits, kMaxLengthValue + 1));
static_assert(SlotsFollowTheirBits(kDistBase, kDistBits, kWindowSize));
static_assert(SlotsFollowTheirBits(kShortBase, kShortBits, kMaxShortDistance));

// Far matches pay for their distance bits with longer minimum lengths: a new
// match codes its length less 3 and one more for each of the first two
// thresholds it reaches, a match at a recent distance its length less 2 and
// one more for each of the three.
constexpr uint32_t kLongDistance = 0x2000;
constexpr uint32_t kVeryLongDistance = 0x40000;
constexpr uint32_t kRecentNearDistance = 0x101;
constexpr uint32_t kMinNewMatch = 3;
constexpr uint32_t kMinRecentMatch = 2;
// The longest match: the largest value at a distance past both thresholds.
constexpr uint32_t kMaxMatch = kMaxLengthValue + kMinNewMatch + 2;  // 260
static_assert(kMaxLengthValue + kMinRecentMatch + 3 == kMaxMatch, "both kinds reach the same");
