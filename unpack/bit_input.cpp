#include "unpack/bit_input.h"

#include <cstring>

#include "archive/extract_context.h"

namespace {

// A continuation keeps this many bytes of the old buffer in front of the new
// ones, so that the byte under in_pos (and the two PeekBits reads after it)
// stay in the buffer across the refill.
constexpr uint32_t kCarryOver = 32;
constexpr uint32_t kRefillSize = kInputBufferSize - kCarryOver;  // 8160

}  // namespace

int32_t ReadPacked(ExtractContext* context, uint8_t* destination, int32_t count) {
  int32_t delivered = 0;
  while (count > 0) {
    // Never read beyond the entry's packed data; a packed size of 2 GiB or
    // more reads as negative here and delivers nothing.
    int32_t n = count > context->packed_left ? context->packed_left : count;
    if (n <= 0 || context->archive_file == nullptr) return delivered;
    size_t last = fread(destination + delivered, 1, static_cast<size_t>(n), context->input_file);
    // The bytes of earlier rounds are already in `destination`; report them.
    if (last == 0) return delivered;
    delivered += static_cast<int32_t>(last);
    count -= static_cast<int32_t>(last);
    context->packed_left -= static_cast<int32_t>(last);
    if (context->packed_left <= 0) break;
  }
  return delivered;
}

void FillInput(ExtractContext* context, bool first) {
  if (first) {
    int32_t got = ReadPacked(context, context->in_buf, static_cast<int32_t>(kInputBufferSize));
    context->in_top = static_cast<uint32_t>(got);
    context->in_pos = 0;
    return;
  }
  // Callers refill only once in_pos has passed kRefillSize, so the byte under
  // in_pos is among the carried ones and moves down by exactly kRefillSize.
  memmove(context->in_buf, context->in_buf + kRefillSize, kCarryOver);
  context->in_pos &= kCarryOver - 1;
  int32_t got = ReadPacked(context, context->in_buf + kCarryOver,
                           static_cast<int32_t>(kRefillSize));
  context->in_top = got > 0 ? static_cast<uint32_t>(got) + kCarryOver : context->in_pos;
}
