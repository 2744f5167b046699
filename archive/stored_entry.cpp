#include "archive/stored_entry.h"

#include "archive/entry_output.h"
#include "archive/extract_context.h"
#include "unpack/bit_input.h"

namespace {

constexpr int32_t kCopyBlock = 32768;

}  // namespace

int CopyStored(ExtractContext* context) {
  uint8_t* block = static_cast<uint8_t*>(ZeroAlloc(kCopyBlock));
  if (block == nullptr) return kExtractNoCopyBuffer;
  // The decoder's input and count of bytes owed serve the copy too.
  int32_t& left = context->decoder.unpacked_left;
  for (;;) {
    int32_t count = ReadPacked(&context->decoder.input, block, kCopyBlock);
    if (count == 0) break;
    // Packed bytes beyond the unpacked size are read but never delivered.
    // unpacked_left never goes below 0 here, so the length is never negative.
    if (count > left) count = left > 0 ? left : 0;
    WriteOut(context, block, static_cast<uint32_t>(count));
    left -= count;
    if (context->output_failed) break;  // the entry has failed: no need to read on
  }
  FreeAndNull(block);
  return 0;
}
