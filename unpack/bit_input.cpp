#include "unpack/bit_input.h"

#include <cstring>

int32_t ReadPacked(BitInput* input, uint8_t* destination, int32_t count) {
  int32_t delivered = 0;
  while (count > 0) {
    int32_t n = count > input->packed_left ? input->packed_left : count;
    if (n <= 0 || input->input_file == nullptr) return delivered;
    size_t last = fread(destination + delivered, 1, static_cast<size_t>(n), input->input_file);
    // The bytes of earlier rounds are already in `destination`; report them.
    if (last == 0) return delivered;
    delivered += static_cast<int32_t>(last);
    count -= static_cast<int32_t>(last);
    input->packed_left -= static_cast<int32_t>(last);
    if (input->packed_left <= 0) break;
  }
  return delivered;
}

void FillInput(BitInput* input, bool first) {
  if (first) {
    int32_t got = ReadPacked(input, input->in_buf, static_cast<int32_t>(kInputBufferSize));
    input->in_top = static_cast<uint32_t>(got);
    input->in_pos = 0;
    input->in_end = static_cast<int32_t>(input->in_top);
    return;
  }
  // in_pos is at least kRefillSize, so the AND moves it down by exactly
  // kRefillSize, onto the same byte among the carried ones.
  memmove(input->in_buf, input->in_buf + kRefillSize, kCarryOver);
  input->in_pos &= kCarryOver - 1;
  int32_t got = ReadPacked(input, input->in_buf + kCarryOver, static_cast<int32_t>(kRefillSize));
  if (got > 0) {
    input->in_top = static_cast<uint32_t>(got) + kCarryOver;
    input->in_end = static_cast<int32_t>(input->in_top);
  } else {
    // The data ended where it did, now kRefillSize bytes lower.
    input->in_top = input->in_pos;
    input->in_end -= static_cast<int32_t>(kRefillSize);
  }
}
