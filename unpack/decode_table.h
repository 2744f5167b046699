// Canonical Huffman decoding tables of the 2.0 method.
#pragma once

#include <cstdint>

struct BitInput;

// Inlined also where the build optimizes for size, as Setup.exe's does:
// the symbol loop's steps cost more as calls than they take as code.
#if defined(__GNUC__)
#define UNPACK_INLINE inline __attribute__((always_inline))
#else
#define UNPACK_INLINE inline
#endif

// Largest alphabet: the main table's 298 symbols.
constexpr uint32_t kMaxSymbols = 298;

// Codes of up to kQuickBits bits decode with one lookup on the next
// kQuickBits bits of the stream; longer ones search the limits beyond.
constexpr uint32_t kQuickBits = 10;

// A decoded code as one entry: in its low byte the code length plus the
// extra bits that the symbol's meaning puts right after the code (at most
// 31), so that a decoder consumes both with one shift by the entry's low
// five bits; the code length in bits 8..11; from bit 12 on the symbol, or
// for an alphabet of slots the value its slot starts at (below 2^20).
constexpr uint32_t kEntryLengthShift = 8;
constexpr uint32_t kEntrySymbolShift = 12;
inline uint32_t EntryTotal(uint32_t entry) { return entry & 31; }
inline uint32_t EntryLength(uint32_t entry) { return (entry >> kEntryLengthShift) & 15; }
inline uint32_t EntrySymbol(uint32_t entry) { return entry >> kEntrySymbolShift; }

// The extra bits after each code of an alphabet: symbols from `first` on
// have bits[symbol - first], the ones below none. Constant data of the
// decoder; a null `bits` means none at all.
// A nonzero `base_offset` makes the alphabet one of slots whose values
// count up from 0, each slot 2^bits of them: the entries then carry the
// first value of the symbol's slot plus base_offset in place of the
// symbol, which spares the decoder a lookup of its own.
struct ExtraBits {
  const uint8_t* bits;
  uint32_t first;
  uint32_t base_offset;
};

struct DecodeTable {
  uint32_t symbol_count;  // a computed index at or above it decodes as index 0
  // limit[l]: first left-aligned 16-bit code value beyond every code of
  // length l or less, capped at 0xFFFF; limit[0] = 0.
  uint32_t limit[16];
  // first_index[l]: index in `symbols` of the first symbol of length l.
  uint32_t first_index[16];
  // Symbols with a code, by code length, then by symbol value. A build writes
  // only as many as have a nonzero length; the rest keep what they held.
  uint32_t symbols[kMaxSymbols];
  ExtraBits extra;  // the extra bits after the codes, as the build was given
  // quick[p], p the next kQuickBits bits: the entry of every 16-bit peek
  // starting with p when their code length is at most kQuickBits, else 0.
  // Derived from the members above by each build, so a lookup gives
  // exactly what the search over `limit` would give.
  uint32_t quick[1u << kQuickBits];
};

// Builds `table` from `count` code lengths (only the low 4 bits of each
// count), with the symbols' extra bit counts for the entries. Lengths are
// not validated: incomplete and over-subscribed sets build a table too.
// `count` is at most kMaxSymbols.
void BuildDecodeTable(const uint8_t* lengths, DecodeTable* table, uint32_t count, ExtraBits extra = {nullptr, 0, 0});

// The search behind a quick entry of 0: the code length of `peek` (bit 0
// already cleared) is above kQuickBits. Returns the entry.
uint32_t DecodeLongCode(const DecodeTable& table, uint32_t peek);

// Decodes the code that a 16-bit peek of the stream starts with; returns
// its entry, with a length of 1..15 bits. The lowest peek bit never matters.
// Every peek decodes to some symbol: a value beyond the defined codes takes
// the length of the first limit above it (15 past them all) and, when its
// index falls outside the alphabet, symbols[0].
UNPACK_INLINE uint32_t DecodeEntry(const DecodeTable& table, uint32_t peek) {
  uint32_t entry = table.quick[peek >> (16 - kQuickBits)];
  if (entry != 0) return entry;
  return DecodeLongCode(table, peek & 0xFFFE);
}

// The symbol of a peek, and in *length the bits it takes.
inline uint32_t DecodePeek(const DecodeTable& table, uint32_t peek, uint32_t* length) {
  uint32_t entry = DecodeEntry(table, peek);
  *length = EntryLength(entry);
  return EntrySymbol(entry);
}

// Decodes the next symbol of the bit stream and consumes its code.
uint32_t DecodeSymbol(BitInput* input, const DecodeTable* table);
