// The alphabets of the 2.0 method's LZ coding: what each symbol of the main,
// distance and repeat-length tables means, and how many extra bits follow
// its code. The table reader gives the extra bit counts to the tables it
// builds (decode_table.h); the decoder reads the bases.
#pragma once

#include <cstdint>

// Main alphabet: 0..255 literals, then these.
constexpr uint32_t kRepeatLastSymbol = 256;   // 257..260: a match at a recent distance
constexpr uint32_t kFirstShortSymbol = 261;   // 261..268: 2-byte matches, short distances
constexpr uint32_t kNewTablesSymbol = 269;
constexpr uint32_t kFirstLengthSymbol = 270;  // 270..297: length slots of a new match
constexpr uint32_t kMainAlphabet = 298;

// Length slots: each base is the previous one plus 2^(previous bit count).
constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,   8,   10,  12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                     2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

// Distance slots, built the same way; the last twelve step by 0x10000.
constexpr uint32_t kDistBase[48] = {
    0,       1,       2,       3,       4,       6,       8,       12,      16,      24,
    32,      48,      64,      96,      128,     192,     256,     384,     512,     768,
    1024,    1536,    2048,    3072,    4096,    6144,    8192,    12288,   16384,   24576,
    32768,   49152,   65536,   98304,   131072,  196608,  0x40000, 0x50000, 0x60000, 0x70000,
    0x80000, 0x90000, 0xA0000, 0xB0000, 0xC0000, 0xD0000, 0xE0000, 0xF0000};
constexpr uint8_t kDistBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                   7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                   15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};

// Short-distance slots of the 2-byte matches.
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// Extra bits right after the codes of the main symbols from
// kFirstShortSymbol on: a short match's distance bits, none for the new
// tables, a new match's length bits. Literals and recent-distance matches
// (which read a repeat-length symbol first) have none.
struct MainExtraBits {
  uint8_t bits[kMainAlphabet - kFirstShortSymbol];
};
constexpr MainExtraBits MakeMainExtraBits() {
  MainExtraBits extra = {};
  for (uint32_t i = 0; i < 8; ++i) extra.bits[i] = kShortBits[i];
  for (uint32_t i = 0; i < 28; ++i) extra.bits[kFirstLengthSymbol - kFirstShortSymbol + i] = kLengthBits[i];
  return extra;
}
inline constexpr MainExtraBits kMainExtraBits = MakeMainExtraBits();
