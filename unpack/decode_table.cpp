#include "unpack/decode_table.h"

#include "archive/extract_context.h"
#include "unpack/bit_input.h"

namespace {

// The index in `symbols` of a peek whose code length is `length`: its
// offset among the codes of that length, counted from the first of them.
// Indices outside the alphabet fall back to 0.
uint32_t SymbolIndex(const DecodeTable& table, uint32_t peek, uint32_t length) {
  uint32_t index =
      table.first_index[length] + ((peek - table.limit[length - 1]) >> (16 - length));
  return index < table.symbol_count ? index : 0;
}

}  // namespace

void BuildDecodeTable(const uint8_t* lengths, DecodeTable* table, uint32_t count) {
  if (count > kMaxSymbols) count = kMaxSymbols;

  uint32_t length_count[16] = {};
  for (uint32_t i = 0; i < count; ++i) ++length_count[lengths[i] & 15];
  length_count[0] = 0;  // length 0: no code

  // code: the first code beyond those of length l, with one more bit than
  // length l's. Over-subscribed sets push the limit past 16 bits; the cap
  // keeps it within the peek range, where it is above every peek (bit 0 of a
  // peek is always clear).
  uint32_t next_index[16];
  uint32_t code = 0;
  table->limit[0] = 0;
  table->first_index[0] = 0;
  next_index[0] = 0;
  for (uint32_t l = 1; l < 16; ++l) {
    code = 2 * (code + length_count[l]);
    uint32_t limit = code << (15 - l);
    table->limit[l] = limit > 0xFFFF ? 0xFFFF : limit;
    table->first_index[l] = table->first_index[l - 1] + length_count[l - 1];
    next_index[l] = table->first_index[l];
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t length = lengths[i] & 15;
    if (length != 0) table->symbols[next_index[length]++] = i;
  }
  table->symbol_count = count;

  // Every limit of a length up to kQuickBits is either capped (above every
  // peek) or a multiple of 2^(16 - kQuickBits), so all peeks that share
  // their first kQuickBits bits compare alike against it: they share the
  // code length and, when it is short, the symbol. Code lengths never
  // decrease as the peek grows, so one pass over the prefixes suffices.
  uint32_t length = 1;
  for (uint32_t prefix = 0; prefix < (1u << kQuickBits); ++prefix) {
    uint32_t peek = prefix << (16 - kQuickBits);
    while (length <= kQuickBits && peek >= table->limit[length]) ++length;
    table->quick[prefix] =
        length <= kQuickBits
            ? static_cast<uint16_t>(length << kQuickSymbolBits |
                                    table->symbols[SymbolIndex(*table, peek, length)])
            : 0;
  }
}

uint32_t DecodeLongCode(const DecodeTable& table, uint32_t peek, uint32_t* length) {
  // The smallest l with peek below limit[l]; limit[15] is never consulted.
  uint32_t l = kQuickBits + 1;
  while (l < 15 && peek >= table.limit[l]) ++l;
  *length = l;
  return table.symbols[SymbolIndex(table, peek, l)];
}

uint32_t DecodeSymbol(ExtractContext* context, const DecodeTable* table) {
  uint32_t length;
  uint32_t symbol = DecodePeek(*table, PeekBits(context), &length);
  SkipBits(context, length);
  return symbol;
}
