// The packed side of an entry: bytes from the archive within the entry's
// packed size, served as a bit stream read most significant bit first.
#pragma once

#include <cstdint>

#include "archive/extract_context.h"

// Up to `count` packed bytes of the current entry into `destination`; the
// number delivered, 0 at the end of the packed data or on failure.
int32_t ReadPacked(ExtractContext* context, uint8_t* destination, int32_t count);

// Refills in_buf: `first` at the start of an entry, else a continuation that
// keeps the last 32 bytes in front of the new ones.
void FillInput(ExtractContext* context, bool first);

// The 16 bits of `buffer` that start `bit` bits (0..7) into its byte `pos`,
// first bit most significant. Reads the bytes pos..pos+2.
inline uint32_t PeekBitsAt(const uint8_t* buffer, uint32_t pos, uint32_t bit) {
  const uint8_t* p = buffer + pos;
  uint32_t bits = static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
  return (bits >> (8 - bit)) & 0xFFFF;
}

// Moves a (byte, bit) position on by n bits.
inline void AdvanceBits(uint32_t* pos, uint32_t* bit, uint32_t n) {
  uint32_t bits = *bit + n;
  *pos += bits >> 3;
  *bit = bits & 7;
}

// The next 16 bits of the stream, first bit most significant; consumes none.
// Inline, like SkipBits: the decoder calls both for every symbol.
inline uint32_t PeekBits(const ExtractContext* context) {
  return PeekBitsAt(context->in_buf, context->in_pos, context->in_bit);
}

// Consumes n bits, 0..16.
inline void SkipBits(ExtractContext* context, uint32_t n) {
  AdvanceBits(&context->in_pos, &context->in_bit, n);
}
