#include "fuzz/unpack_from_memory.h"

#include <cstdio>
#include <cstdlib>

#include "archive/packed_entry.h"

void UnpackFromMemory(ExtractContext* context, uint8_t* window, const uint8_t* packed, size_t size,
                      uint32_t unpacked_size, bool solid) {
  // fmemopen refuses an empty buffer; an entry without data reads nothing.
  static uint8_t nothing = 0;
  FILE* input = fmemopen(size > 0 ? const_cast<uint8_t*>(packed) : &nothing, size > 0 ? size : 1, "rb");
  if (input == nullptr) abort();
  context->archive_file = input;
  context->decoder.input.input_file = input;
  context->decoder.input.packed_left = static_cast<int32_t>(size);
  context->decoder.unpacked_left = static_cast<int32_t>(unpacked_size);
  context->verify_only = 1;
  context->delivered = 0;
  context->entry_crc = 0xFFFFFFFF;
  UnpackEntry(context, window, solid);
  fclose(input);
  context->archive_file = nullptr;
  context->decoder.input.input_file = nullptr;
}
