// The table header in front of a block: code lengths for the main, distance
// and recent-length alphabets, themselves Huffman-coded with a 19-symbol
// code-length alphabet whose own lengths travel as 4-bit fields.
#pragma once

#include <cstdint>

#include "pack/bit_writer.h"
#include "pack/lz_format.h"

namespace pack {

// Writes the header that turns the decoder's previous lengths `old_lengths`
// into `new_lengths` (kTableLengthCount each, all <= 15). It codes the lengths
// as differences against the previous ones or as plain values (the header's
// keep bit clear), whichever is shorter, and picks repeats and zero runs by
// shortest total size. Returns the number of bits written.
uint32_t WriteTableHeader(const uint8_t* old_lengths, const uint8_t* new_lengths, BitWriter* out);

// The size in bits that WriteTableHeader would write.
uint32_t TableHeaderBits(const uint8_t* old_lengths, const uint8_t* new_lengths);

}  // namespace pack
