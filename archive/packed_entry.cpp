#include "archive/packed_entry.h"

#include "archive/entry_output.h"
#include "archive/extract_context.h"
#include "unpack/lz_decoder.h"

void UnpackEntry(ExtractContext* context, uint8_t* window, bool solid) {
  Decoder* decoder = &context->decoder;
  StartEntry(decoder, window, solid);
  while (DecodeSymbols(decoder)) FlushWindow(context);
  FinishEntry(decoder);
  FlushWindow(context);
}
