// Canonical Huffman decoding tables of the 2.0 method.
#pragma once

#include <cstdint>

// Largest alphabet: the main table's 298 symbols.
constexpr uint32_t kMaxSymbols = 298;

struct DecodeTable {
  uint32_t symbol_count;  // a computed index at or above it decodes as index 0
  // limit[l]: first left-aligned 16-bit code value beyond every code of
  // length l or less, capped at 0xFFFF; limit[0] = 0.
  uint32_t limit[16];
  // first_index[l]: index in `symbols` of the first symbol of length l.
  uint32_t first_index[16];
  // Symbols with a code, by code length, then by symbol value. A build writes
  // only as many as have a nonzero length; the rest keep what they held.
  uint32_t symbols[kMaxSymbols];
};
