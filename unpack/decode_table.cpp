#include "unpack/decode_table.h"

#include "unpack/bit_input.h"

namespace {

// The index in `symbols` of a peek whose code length is `length`: its
// offset among the codes of that length, counted from the first of them.
// Indices outside the alphabet fall back to 0.
uint32_t SymbolIndex(const DecodeTable& table, uint32_t peek, uint32_t length) {
  uint32_t index = table.first_index[length] + ((peek - table.limit[length - 1]) >> (16 - length));
  return index < table.symbol_count ? index : 0;
}

uint32_t MakeEntry(const DecodeTable& table, uint32_t symbol, uint32_t length) {
  // A symbol left over from an earlier build may lie outside the alphabet.
  const ExtraBits& e = table.extra;
  bool has_extra = e.bits != nullptr && symbol >= e.first && symbol < table.symbol_count;
  uint32_t extra = has_extra ? e.bits[symbol - e.first] : 0;
  uint32_t value = symbol;
  if (e.base_offset != 0 && has_extra) {
    // Slot alphabets are short (48 at most) and a build makes one entry
    // per code, so the base is summed up here rather than kept.
    value = e.base_offset;
    for (uint32_t i = e.first; i < symbol; ++i) value += 1u << e.bits[i - e.first];
  }
  return value << kEntrySymbolShift | length << kEntryLengthShift | (length + extra);
}

}  // namespace

void BuildDecodeTable(const uint8_t* lengths, DecodeTable* table, uint32_t count, ExtraBits extra) {
  if (count > kMaxSymbols) count = kMaxSymbols;
  table->extra = extra;

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
  // code length and, when it is short, the symbol. The prefixes of length
  // l run from limit[l - 1] to limit[l], each code of length l taking
  // 2^(kQuickBits - l) of them in code order, as SymbolIndex counts.
  uint32_t prefix = 0;
  for (uint32_t l = 1; l <= kQuickBits; ++l) {
    uint32_t limit = table->limit[l] == 0xFFFF ? 0x10000 : table->limit[l];
    uint32_t end = limit >> (16 - kQuickBits);
    uint32_t step = 1u << (kQuickBits - l);
    for (uint32_t index = table->first_index[l]; prefix < end; ++index) {
      uint32_t symbol = table->symbols[index < table->symbol_count ? index : 0];
      uint32_t entry = MakeEntry(*table, symbol, l);
      for (uint32_t k = 0; k < step; ++k) table->quick[prefix + k] = entry;
      prefix += step;
    }
  }
  // The rest have longer codes.
  for (; prefix < (1u << kQuickBits); ++prefix) table->quick[prefix] = 0;
}

uint32_t DecodeLongCode(const DecodeTable& table, uint32_t peek) {
  // The smallest l with peek below limit[l]; limit[15] is never consulted.
  uint32_t l = kQuickBits + 1;
  while (l < 15 && peek >= table.limit[l]) ++l;
  return MakeEntry(table, table.symbols[SymbolIndex(table, peek, l)], l);
}

uint32_t DecodeSymbol(BitInput* input, const DecodeTable* table) {
  uint32_t length;
  uint32_t symbol = DecodePeek(*table, PeekBits(input), &length);
  SkipBits(input, length);
  return symbol;
}
