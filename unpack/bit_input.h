// The packed side of an entry: its bytes, read from the archive file never
// beyond the entry's packed size, and served as a bit stream read most
// significant bit first, with the refills that keep the stream in the
// buffer and track where the entry's bytes end in it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "unpack/decoder_bounds.h"

struct BitInput {
  // The archive file, standing at the entry's next unread packed byte; null
  // when no archive is open, which reads nothing. Set by the driver.
  FILE* input_file;
  // Packed bytes of the entry not yet read. Set by the driver to the
  // entry's packed size; a size of 2 GiB or more reads as negative and
  // delivers nothing.
  int32_t packed_left;
  // Index in in_buf of the byte holding the next unread bit, and the bits of
  // it (0..7) already consumed from its top. Before each step in_pos is at
  // most that step's refill point (decoder_bounds.h), so whatever the step
  // reads lies in in_buf.
  uint32_t in_pos;
  uint32_t in_bit;
  // Valid bytes in in_buf: what the last fill brought, or in_pos when a
  // refill found nothing more. Only the look-ahead after an entry reads it.
  uint32_t in_top;
  // Index in in_buf just past the entry's last packed byte; below 0 once
  // refills have moved the buffer beyond it. A valid stream never reads
  // past it by more than kInputOverrunLimit bytes.
  int32_t in_end;
  uint8_t in_buf[kInputBufferSize];
  // Never written, so zeros as the record was obtained: a word loaded at
  // the buffer's last bytes reads zeros past its end.
  uint8_t in_pad[kWordBytes];
};

// Bytes a valid stream may consume beyond its packed data: none, since a
// well-formed entry's last code ends inside it. The slack forgives writers
// that leave the final symbol a little short; more than this is damage.
constexpr int32_t kInputOverrunLimit = 4;

// Up to `count` packed bytes of the current entry into `destination`; the
// number delivered, 0 at the end of the packed data or on failure.
int32_t ReadPacked(BitInput* input, uint8_t* destination, int32_t count);

// Fills in_buf: `first` at the start of an entry, else a refill that keeps
// the last kCarryOver bytes in front of the new ones. Callers refill only
// once in_pos has passed kRefillSize - 1, so the byte under in_pos is a
// carried one and in_bit stays valid.
void FillInput(BitInput* input, bool first);

// The next 16 bits of the stream, first bit most significant; consumes none.
// Inline, like SkipBits: the table reader calls both for every symbol.
inline uint32_t PeekBits(const BitInput* input) {
  const uint8_t* p = input->in_buf + input->in_pos;
  uint32_t bits = static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
  return (bits >> (8 - input->in_bit)) & 0xFFFF;
}

// Consumes n bits, 0..16.
inline void SkipBits(BitInput* input, uint32_t n) {
  uint32_t bits = input->in_bit + n;
  input->in_pos += bits >> 3;
  input->in_bit = bits & 7;
}

// Reads a field of `bits` bits (1..16), first bit most significant.
inline uint32_t ReadBitField(BitInput* input, uint32_t bits) {
  uint32_t value = PeekBits(input) >> (16 - bits);
  SkipBits(input, bits);
  return value;
}

// True once the stream, read up to byte `in_pos` of in_buf, has been
// consumed more than kInputOverrunLimit bytes beyond the entry's packed data.
inline bool InputOverrun(const BitInput* input, uint32_t in_pos) {
  return static_cast<int32_t>(in_pos) > input->in_end + kInputOverrunLimit;
}
