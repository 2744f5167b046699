// Canonical Huffman codes with a length limit, as the decoder rebuilds them
// from code lengths alone: shorter codes first, and within one length in
// increasing symbol order.
#pragma once

#include <cstdint>

namespace pack {

// No code of this system is longer than this.
constexpr int kCodeLengthLimit = 15;

// Optimal code lengths for the given frequencies with no length above
// `max_length` (package-merge). Symbols of frequency 0 get length 0. A
// single used symbol gets length 1, so that it has a code at all.
void BuildCodeLengths(const uint32_t* freqs, int count, int max_length, uint8_t* lengths);

// The canonical code of each symbol (right-aligned, `lengths[i]` bits).
void AssignCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes);

}  // namespace pack
