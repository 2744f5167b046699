#include "unpack/code_lengths.h"

#include <cstring>

#include "archive/extract_context.h"
#include "unpack/bit_input.h"
#include "unpack/decode_table.h"
#include "unpack/lz_slots.h"
#include "unpack/packed_stream.h"

namespace {

// Refill thresholds: the header with its 19 four-bit lengths fits in the
// bytes left above 8167, one code-length symbol with its extra bits in those
// above 8187.
constexpr uint32_t kHeaderRefillAt = 8167;
constexpr uint32_t kLengthRefillAt = 8187;

constexpr uint32_t kLengthCodes = 19;  // 0..15 lengths, 16 repeat, 17 and 18 zero runs
constexpr uint32_t kDistSymbols = 48;
constexpr uint32_t kRepLengthSymbols = 28;
constexpr uint32_t kAudioSymbols = 257;

// Header bits, in the first 16-bit peek.
constexpr uint32_t kAudioBit = 0x8000;
constexpr uint32_t kKeepOldLengthsBit = 0x4000;

}  // namespace

void ReadCodeLengths(ExtractContext* context) {
  if (context->in_pos > kHeaderRefillAt) ContinueInput(context);

  uint32_t header = PeekBits(context);
  context->audio_mode = header & kAudioBit;
  if ((header & kKeepOldLengthsBit) == 0) memset(context->old_lengths, 0, kLengthTableSize);
  SkipBits(context, 2);

  uint32_t total = kMainAlphabet + kDistSymbols + kRepLengthSymbols;
  if (context->audio_mode != 0) {
    context->channel_count = static_cast<int32_t>(((header >> 12) & 3) + 1);
    if (context->cur_channel >= context->channel_count) context->cur_channel = 0;
    SkipBits(context, 2);
    total = kAudioSymbols * static_cast<uint32_t>(context->channel_count);
  }

  uint8_t length_code_lengths[kLengthCodes];
  for (uint8_t& length : length_code_lengths) length = static_cast<uint8_t>(ReadBitField(context, 4));
  BuildDecodeTable(length_code_lengths, &context->length_code_table, kLengthCodes);

  // Only the first `total` lengths are read. The rest stay 0 and go into
  // old_lengths as 0, so a later header that keeps old lengths and reads
  // more of them (audio after LZ, or more channels) adds its deltas to 0.
  uint8_t lengths[kLengthTableSize] = {};
  uint32_t i = 0;
  while (i < total) {
    if (context->in_pos > kLengthRefillAt) ContinueInput(context);
    uint32_t symbol = DecodeSymbol(context, &context->length_code_table);
    if (symbol < 16) {
      lengths[i] = static_cast<uint8_t>((symbol + context->old_lengths[i]) & 15);
      ++i;
      continue;
    }
    uint32_t run;
    uint8_t value = 0;
    if (symbol == 16) {
      run = ReadBitField(context, 2) + 3;
      // A repeat in first position has no previous length: it repeats 0.
      if (i > 0) value = lengths[i - 1];
    } else if (symbol == 17) {
      run = ReadBitField(context, 3) + 3;
    } else {
      run = ReadBitField(context, 7) + 11;
    }
    // A run never passes total; the rest of its count is dropped.
    for (; run > 0 && i < total; --run) lengths[i++] = value;
  }

  if (context->audio_mode != 0) {
    for (int32_t c = 0; c < context->channel_count; ++c)
      BuildDecodeTable(lengths + kAudioSymbols * c, &context->audio_tables[c], kAudioSymbols);
  } else {
    BuildDecodeTable(lengths, &context->main_table, kMainAlphabet,
                     {kMainExtraBits.bits, kFirstShortSymbol});
    BuildDecodeTable(lengths + kMainAlphabet, &context->dist_table, kDistSymbols, {kDistBits, 0});
    BuildDecodeTable(lengths + kMainAlphabet + kDistSymbols, &context->rep_length_table,
                     kRepLengthSymbols, {kLengthBits, 0});
  }
  memcpy(context->old_lengths, lengths, kLengthTableSize);
}
