// The table header in front of a block: code lengths for the main, distance
// and recent-length alphabets, themselves Huffman-coded with a 19-symbol
// code-length alphabet whose own lengths travel as 4-bit fields.
#pragma once

#include <cstdint>

#include "pack/bit_writer.h"
#include "pack/lz_format.h"

namespace pack {

// One coded step of the length sequence.
struct TableHeaderStep {
  uint8_t symbol;
  uint8_t extra;  // extra-bit value for 16..18
  uint8_t span;   // lengths it produces
};

// The header that turns the decoder's previous lengths into new ones (all
// <= 15): the steps, the code-length code, and its size. Chosen once, so
// that a block can weigh the header's size and then write the same header.
struct TableHeader {
  TableHeaderStep steps[kTableLengthCount];
  int step_count;
  uint8_t code_lengths[kLengthCodeSymbols];
  uint32_t bits;  // its size including the 2 flag bits and 19 x 4 bits
  bool keep;      // lengths coded as differences against the previous ones
};

// Codes `new_lengths` (kTableLengthCount) against `old_lengths` as
// differences or as plain values (the header's keep bit clear), whichever
// is shorter, and picks repeats and zero runs by shortest total size.
TableHeader ChooseTableHeader(const uint8_t* old_lengths, const uint8_t* new_lengths);
void WriteTableHeader(const TableHeader& header, BitWriter* out);

}  // namespace pack
