#include "unpack/packed_stream.h"

namespace {

// A continuation keeps this many bytes of the old buffer in front of the
// new ones, and moves every index down by the rest.
constexpr uint32_t kCarryBytes = 32;
constexpr int32_t kContinuationShift = kInputBufferSize - kCarryBytes;

}  // namespace

void StartInput(ExtractContext* context) {
  FillInput(context, true);
  context->in_end = static_cast<int32_t>(context->in_top);
}

void ContinueInput(ExtractContext* context) {
  FillInput(context, false);
  // A continuation that brought bytes leaves in_top beyond the carried ones;
  // one that found nothing sets in_top to in_pos, which is inside them. In
  // the second case the data ended where it did, now 8160 bytes lower (and
  // possibly below 0 when the stream has already run past it).
  if (context->in_top > kCarryBytes) {
    context->in_end = static_cast<int32_t>(context->in_top);
  } else {
    context->in_end -= kContinuationShift;
  }
}
