#include "archive/packed_entry.h"

#include "archive/entry_output.h"
#include "archive/extract_context.h"
#include "unpack/lz_decoder.h"

void UnpackEntry(ExtractContext* context, uint8_t* window, bool solid) {
  Decoder* decoder = &context->decoder;
  StartEntry(decoder, window, solid);
  while (DecodeSymbols(decoder)) {
    FlushWindow(context);
    // Lost bytes fail the entry whatever follows (a full disk, a stopped
    // pass): the rest is not decoded.
    if (context->output_failed) return;
  }
  FinishEntry(decoder);
  FlushWindow(context);
}
