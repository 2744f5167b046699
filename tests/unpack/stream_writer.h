// Hand-built packed streams for decoder tests: a most-significant-first bit
// writer, canonical codes from code lengths, and table headers written with
// absolute lengths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class BitWriter {
 public:
  // Appends the low `bits` bits of value, most significant first; bits
  // beyond the 32 of value are zeros.
  void Put(uint32_t value, uint32_t bits) {
    for (uint32_t i = bits; i-- > 0;) {
      if (bit_count_ % 8 == 0) bytes_.push_back('\0');
      if (i < 32 && ((value >> i) & 1) != 0)
        bytes_.back() = static_cast<char>(bytes_.back() | (0x80 >> (bit_count_ % 8)));
      ++bit_count_;
    }
  }
  size_t bit_count() const { return bit_count_; }
  // The bytes so far; the last one padded with zero bits.
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  size_t bit_count_ = 0;
};

struct Code {
  uint32_t bits = 0;
  uint32_t length = 0;
};

// Canonical codes: shorter codes first, and within one length by symbol
// value, each length starting right after the codes of the length before.
inline std::vector<Code> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  std::vector<Code> codes(lengths.size());
  uint32_t next = 0;
  for (uint32_t length = 1; length < 16; ++length) {
    for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
      if (lengths[symbol] == length) codes[symbol] = {next++, length};
    }
    next <<= 1;
  }
  return codes;
}

// Slot bases follow one rule: each is the previous base plus 2 to the power
// of the previous slot's extra-bit count.
inline uint32_t LengthBits(uint32_t slot) { return slot < 8 ? 0 : slot / 4 - 1; }
inline uint32_t LengthBase(uint32_t slot) {
  return slot == 0 ? 0 : LengthBase(slot - 1) + (1u << LengthBits(slot - 1));
}
inline uint32_t DistBits(uint32_t slot) { return slot < 4 ? 0 : slot < 36 ? slot / 2 - 1 : 16; }
inline uint32_t DistBase(uint32_t slot) { return slot == 0 ? 0 : DistBase(slot - 1) + (1u << DistBits(slot - 1)); }

constexpr uint32_t kTestMainSymbols = 298;
constexpr uint32_t kTestDistSymbols = 48;
constexpr uint32_t kTestRepSymbols = 28;

// The code lengths of one LZ block.
struct BlockLengths {
  std::vector<uint8_t> main = std::vector<uint8_t>(kTestMainSymbols, 9);
  std::vector<uint8_t> dist = std::vector<uint8_t>(kTestDistSymbols, 6);
  std::vector<uint8_t> rep = std::vector<uint8_t>(kTestRepSymbols, 5);
};

// Writes entries symbol by symbol. Table headers give all 19 code-length
// symbols 5 bits, so code-length symbol s is written as s in 5 bits.
class StreamWriter {
 public:
  // An LZ table header with absolute lengths, and the codes it defines for
  // the symbols that follow.
  void Tables(const BlockLengths& lengths = BlockLengths()) {
    Header(false);
    for (uint8_t l : lengths.main) PutLengthSymbol(l);
    for (uint8_t l : lengths.dist) PutLengthSymbol(l);
    for (uint8_t l : lengths.rep) PutLengthSymbol(l);
    UseTables(lengths);
  }

  // Codes the following symbols with these lengths, written nowhere: for an
  // entry that continues with tables a previous one read.
  void UseTables(const BlockLengths& lengths) {
    main_ = CanonicalCodes(lengths.main);
    dist_ = CanonicalCodes(lengths.dist);
    rep_ = CanonicalCodes(lengths.rep);
  }

  // The start of a header up to its code-length symbols: mode bits, then
  // all 19 code-length codes 5 bits long.
  void Header(bool keep_old_lengths) {
    Bits(keep_old_lengths ? 1 : 0, 2);
    PutLengthCodeLengths();
  }
  void AudioHeader(uint32_t channels, bool keep_old_lengths) {
    Bits(keep_old_lengths ? 3 : 2, 2);
    Bits(channels - 1, 2);
    PutLengthCodeLengths();
  }
  // An audio header for `channels` channels whose lengths are all 0.
  void AudioTables(uint32_t channels) {
    AudioHeader(channels, false);
    for (uint32_t i = 0; i < 257 * channels; ++i) PutLengthSymbol(0);
  }

  void PutLengthCodeLengths() {
    for (int i = 0; i < 19; ++i) Bits(5, 4);
  }
  void PutLengthSymbol(uint32_t symbol) { bits_.Put(symbol, 5); }

  void Main(uint32_t symbol) { Put(main_[symbol]); }
  void Dist(uint32_t slot) { Put(dist_[slot]); }
  void Rep(uint32_t slot) { Put(rep_[slot]); }
  void Literal(uint8_t byte) { Main(byte); }
  void Literals(const std::string& text) {
    for (char c : text) Literal(static_cast<uint8_t>(c));
  }
  void Bits(uint32_t value, uint32_t count) { bits_.Put(value, count); }

  // A new match: length slot with its extra bits, distance slot with its.
  void NewMatch(uint32_t length_slot, uint32_t length_extra, uint32_t length_bits, uint32_t dist_slot,
                uint32_t dist_extra, uint32_t dist_bits) {
    Main(270 + length_slot);
    Bits(length_extra, length_bits);
    Dist(dist_slot);
    Bits(dist_extra, dist_bits);
  }

  // A new match of length slot `length_slot` (with its extra bits) at
  // `distance`, 1..0x100000.
  void Match(uint32_t length_slot, uint32_t length_extra, uint32_t distance) {
    uint32_t slot = 47;
    while (DistBase(slot) + 1 > distance) --slot;
    NewMatch(length_slot, length_extra, LengthBits(length_slot), slot, distance - 1 - DistBase(slot), DistBits(slot));
  }

  const std::string& bytes() const { return bits_.bytes(); }
  size_t bit_count() const { return bits_.bit_count(); }

 private:
  void Put(const Code& code) { bits_.Put(code.bits, code.length); }

  BitWriter bits_;
  std::vector<Code> main_, dist_, rep_;
};
