#include "archive/entry_output.h"

#include <cstdio>

#include "archive/extract_context.h"
#include "common/file_system.h"

uint32_t WriteOut(ExtractContext* context, const uint8_t* data, uint32_t length) {
  uint32_t written = 0;
  if (context->output_file != nullptr) {
    written = static_cast<uint32_t>(fwrite(data, 1, length, context->output_file));
    if (written != length && !context->output_failed) {
      context->output_failed = 1;
      context->output_error = FsLastError();
    }
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
  ReportProgress(context);
  return written;
}

void ReportProgress(ExtractContext* context) {
  PassProgress* progress = context->progress;
  if (progress == nullptr || context->stopped) return;
  // The packed bytes not yet read of this entry lie before its block's end.
  int32_t done = context->next_block_pos - context->decoder.input.packed_left - context->archive_start;
  uint32_t total = static_cast<uint32_t>(context->archive_end - context->archive_start);
  if (progress->report(progress->user, done > 0 ? static_cast<uint32_t>(done) : 0, total) != 0) {
    context->stopped = 1;
    context->output_failed = 1;
  }
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
