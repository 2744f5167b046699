#include "unpack/code_lengths.h"

#include <cstring>

#include "unpack/bit_input.h"
#include "unpack/decode_table.h"
#include "unpack/decoder.h"
#include "unpack/lz_format.h"

namespace {

// Header bits, in the first 16-bit peek.
constexpr uint32_t kAudioBit = 0x8000;
constexpr uint32_t kKeepOldLengthsBit = 0x4000;

// Extra bits right after the codes of the main symbols from
// kFirstShortSymbol on: a short match's distance bits, none for the new
// tables, a new match's length bits. Literals and recent-distance matches
// (which read a repeat-length symbol first) have none.
struct MainExtraBits {
  uint8_t bits[kMainAlphabet - kFirstShortSymbol];
};
constexpr MainExtraBits MakeMainExtraBits() {
  MainExtraBits extra = {};
  for (uint32_t i = 0; i < kShortSlots; ++i) extra.bits[i] = kShortBits[i];
  for (uint32_t i = 0; i < kRepLengthAlphabet; ++i)
    extra.bits[kFirstLengthSymbol - kFirstShortSymbol + i] = kLengthBits[i];
  return extra;
}
constexpr MainExtraBits kMainExtraBits = MakeMainExtraBits();

static_assert(kDistBase[kDistAlphabet - 1] + 1 < (1u << (32 - kEntrySymbolShift)), "a distance base must fit an entry");

// The header's mode and the lengths of the code-length code; returns how
// many lengths the block's tables take.
uint32_t ReadHeader(Decoder* decoder) {
  BitInput* input = &decoder->input;
  if (input->in_pos > kHeaderRefillAt) FillInput(input, false);

  uint32_t header = PeekBits(input);
  decoder->audio_mode = header & kAudioBit;
  if ((header & kKeepOldLengthsBit) == 0) memset(decoder->old_lengths, 0, kLengthTableSize);
  SkipBits(input, 2);

  uint32_t total = kTableLengths;
  if (decoder->audio_mode != 0) {
    decoder->channel_count = static_cast<int32_t>(((header >> 12) & 3) + 1);
    if (decoder->cur_channel >= decoder->channel_count) decoder->cur_channel = 0;
    SkipBits(input, 2);
    total = kAudioAlphabet * static_cast<uint32_t>(decoder->channel_count);
  }

  uint8_t length_code_lengths[kLengthCodeAlphabet];
  for (uint8_t& length : length_code_lengths) length = static_cast<uint8_t>(ReadBitField(input, 4));
  BuildDecodeTable(length_code_lengths, &decoder->length_code_table, kLengthCodeAlphabet);
  return total;
}

}  // namespace

void ReadCodeLengths(Decoder* decoder) {
  uint32_t total = ReadHeader(decoder);
  BitInput* input = &decoder->input;

  // Only the first `total` lengths are read. The rest stay 0 and go into
  // old_lengths as 0, so a later header that keeps old lengths and reads
  // more of them (audio after LZ, or more channels) adds its deltas to 0.
  uint8_t lengths[kLengthTableSize] = {};
  uint32_t i = 0;
  while (i < total) {
    if (input->in_pos > kLengthRefillAt) FillInput(input, false);
    uint32_t symbol = DecodeSymbol(input, &decoder->length_code_table);
    if (symbol < kRepeatPrevious) {
      lengths[i] = static_cast<uint8_t>((symbol + decoder->old_lengths[i]) & 15);
      ++i;
      continue;
    }
    // A run, as long as its base plus the value of its extra bits: of the
    // previous length, or of zeros. A repeat in first position has no
    // previous length: it repeats 0.
    uint32_t kind = symbol - kRepeatPrevious;
    uint32_t run = ReadBitField(input, kRunBits[kind]) + kRunBase[kind];
    uint8_t value = symbol == kRepeatPrevious && i > 0 ? lengths[i - 1] : 0;
    // A run never passes total; the rest of its count is dropped.
    for (; run > 0 && i < total; --run) lengths[i++] = value;
  }

  if (decoder->audio_mode != 0) {
    for (int32_t c = 0; c < decoder->channel_count; ++c)
      BuildDecodeTable(lengths + kAudioAlphabet * c, &decoder->audio_tables[c], kAudioAlphabet);
  } else {
    BuildDecodeTable(lengths, &decoder->main_table, kMainAlphabet, {kMainExtraBits.bits, kFirstShortSymbol, 0});
    // A distance is its slot's base, plus 1, plus its extra bits.
    BuildDecodeTable(lengths + kMainAlphabet, &decoder->dist_table, kDistAlphabet, {kDistBits, 0, 1});
    BuildDecodeTable(lengths + kMainAlphabet + kDistAlphabet, &decoder->rep_length_table, kRepLengthAlphabet,
                     {kLengthBits, 0, 0});
  }
  memcpy(decoder->old_lengths, lengths, kLengthTableSize);
}
