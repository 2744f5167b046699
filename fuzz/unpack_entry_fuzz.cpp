// Arbitrary bytes as the packed data of one or two entries, straight into
// UnpackEntry: the second continues the first's state when marked solid.
// Input layout: flags (bit 0: first entry solid, bit 1: second entry solid,
// bit 2: there is a second entry), unpacked sizes of 22 bits each (3 bytes
// apiece, so up to 4 MiB), a 16-bit split of the rest between the two
// entries, then the packed bytes.
#include <cstdlib>

#include "archive/extract_context.h"
#include "fuzz/unpack_from_memory.h"
#include "unpack/decoder.h"

namespace {

constexpr size_t kHeaderSize = 9;

uint32_t Size22(const uint8_t* p) { return (p[0] | p[1] << 8 | p[2] << 16) & 0x3FFFFF; }

// Decodes one entry from `packed`; checks what must hold after any entry.
void Entry(ExtractContext* context, uint8_t* window, const uint8_t* packed, size_t size, uint32_t unpacked_size,
           bool solid) {
  UnpackFromMemory(context, window, packed, size, unpacked_size, solid);
  if (context->decoder.win_pos != context->decoder.win_flushed || context->decoder.win_pos >= kWindowBufferSize)
    __builtin_trap();
  if (context->decoder.window_dirty > kWindowBufferSize) __builtin_trap();
  if (context->decoder.unpack_stop == kUnpackComplete && context->delivered < unpacked_size) __builtin_trap();
  // A match may overshoot the size by less than its longest length.
  if (context->delivered >= unpacked_size + 260) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderSize) return 0;
  auto* context = static_cast<ExtractContext*>(ZeroAlloc(sizeof(ExtractContext)));
  auto* window = static_cast<uint8_t*>(ZeroAlloc(kWindowBufferSize));
  if (context == nullptr || window == nullptr) abort();
  BuildCrc32Table(&context->crc32_table);
  context->archive_flavour = 2;

  uint8_t flags = data[0];
  const uint8_t* packed = data + kHeaderSize;
  size_t rest = size - kHeaderSize;
  size_t split = (data[7] | data[8] << 8) % (rest + 1);
  if ((flags & 4) == 0) split = rest;
  Entry(context, window, packed, split, Size22(data + 1), (flags & 1) != 0);
  if ((flags & 4) != 0) Entry(context, window, packed + split, rest - split, Size22(data + 4), (flags & 2) != 0);

  FreeAndNull(window);
  FreeAndNull(context);
  return 0;
}
