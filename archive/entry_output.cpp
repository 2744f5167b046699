#include "archive/entry_output.h"

#include <cstdio>

#include "archive/extract_context.h"

uint32_t WriteOut(ExtractContext* context, const uint8_t* data, uint32_t length) {
  uint32_t written = 0;
  if (context->output_file != nullptr) {
    written = static_cast<uint32_t>(fwrite(data, 1, length, context->output_file));
    if (written != length) context->output_failed = 1;
  } else if (context->memory_buffer != nullptr) {
    // The count stays the full length, so the checksum covers what the entry
    // produced; a lost append fails the entry through output_failed instead.
    if (MemoryBufferAppend(context->memory_buffer, data, length) != 0) {
      context->output_failed = 1;
    }
    written = length;
  } else if (context->verify_only) {
    written = length;
  }
  context->delivered += written;
  if (!context->skip_output) {
    int mode = context->archive_flavour == 1 ? kChecksumSum16 : kChecksumCrc32;
    context->entry_crc = ChecksumUpdate(context->crc32_table, context->entry_crc, data, written, mode);
  }
  return written;
}

void FlushWindow(ExtractContext* context) {
  Decoder* decoder = &context->decoder;
  const uint8_t* window = decoder->window;
  if (decoder->win_pos < decoder->win_flushed) {
    // The pending bytes wrap: the ring's tail first, then its head.
    WriteOut(context, window + decoder->win_flushed, kWindowBufferSize - decoder->win_flushed);
    WriteOut(context, window, decoder->win_pos);
  } else {
    WriteOut(context, window + decoder->win_flushed, decoder->win_pos - decoder->win_flushed);
  }
  decoder->win_flushed = decoder->win_pos;
}
