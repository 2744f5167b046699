#include "archive/stored_entry.h"

#include "archive/extract_context.h"
#include "unpack/bit_input.h"
#include "unpack/output_sink.h"

namespace {

constexpr int32_t kCopyBlock = 32768;

}  // namespace

int CopyStored(ExtractContext* context) {
  uint8_t* block = static_cast<uint8_t*>(ZeroAlloc(kCopyBlock));
  if (block == nullptr) return kExtractNoCopyBuffer;
  for (;;) {
    int32_t count = ReadPacked(context, block, kCopyBlock);
    if (count == 0) break;
    // Packed bytes beyond the unpacked size are read but never delivered.
    // unpacked_left never goes below 0 here, so the length is never negative.
    if (count > context->unpacked_left) count = context->unpacked_left > 0 ? context->unpacked_left : 0;
    WriteOut(context, block, static_cast<uint32_t>(count));
    context->unpacked_left -= count;
  }
  FreeAndNull(block);
  return 0;
}
