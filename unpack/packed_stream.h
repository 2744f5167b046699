// The decoder's side of the packed stream: refills that also track where
// the entry's packed bytes end in in_buf, and fields of n bits. The decode
// loop runs on the unpacked count, so it needs the end to stop a damaged
// entry that asks for more bits than the entry holds.
#pragma once

#include <cstdint>

#include "archive/extract_context.h"
#include "unpack/bit_input.h"

// Bytes a valid stream may consume beyond its packed data: none, since a
// well-formed entry's last code ends inside it. The slack forgives writers
// that leave the final symbol a little short; more than this is damage.
constexpr int32_t kInputOverrunLimit = 4;

// The first fill of an entry.
void StartInput(ExtractContext* context);

// A continuation fill; callers ask for one only when in_pos has passed
// kInputBufferSize - 32.
void ContinueInput(ExtractContext* context);

// True once the stream, read up to byte `in_pos` of in_buf, has been
// consumed more than kInputOverrunLimit bytes beyond the entry's packed data.
inline bool InputOverrun(const ExtractContext* context, uint32_t in_pos) {
  return static_cast<int32_t>(in_pos) > context->in_end + kInputOverrunLimit;
}

// Reads a field of `bits` bits (1..16), first bit most significant.
inline uint32_t ReadBitField(ExtractContext* context, uint32_t bits) {
  uint32_t value = PeekBits(context) >> (16 - bits);
  SkipBits(context, bits);
  return value;
}
