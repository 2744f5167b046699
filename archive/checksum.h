// The two checksums of the archive: CRC-32 (headers, and entry data of
// "Rar!" archives) and a 16-bit add-and-rotate sum (entry data of archives
// with the older marker).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Table-driven CRC-32 over the reflected polynomial 0xEDB88320 (IEEE 802.3).
// in_place[0] is the classic one-byte table. Every entry is the CRC (from 0)
// of one byte followed by zero bytes: in_place[k][i] of byte i and k zeros,
// ahead[k][i] of byte i and kCrc32Lanes * 8 - 8 + k zeros. Those let
// Crc32Update take eight bytes per lookup round and keep several rounds in
// flight at once; it is only a faster way to the same values.
constexpr int kCrc32Lanes = 6;
// `folding` is set where the processor's carry-less multiplication takes
// the long runs instead (crc32_folding.h).
struct Crc32Table {
  uint32_t in_place[8][256];
  uint32_t ahead[8][256];
  uint32_t folding;
};

void BuildCrc32Table(Crc32Table* table);

// Advances a running CRC-32 over `count` bytes. There is no inversion here:
// callers start from 0xFFFFFFFF and compare against the complement.
uint32_t Crc32Update(const Crc32Table& table, uint32_t value, const uint8_t* data, size_t count);

// Advances a running CRC-32 `crc` over the next `count` bytes of `file`;
// false when they cannot all be read.
bool Crc32OfFile(FILE* file, const Crc32Table& table, uint32_t* crc, uint32_t count);

// Advances the 16-bit sum: add each byte, then rotate left by one bit.
uint16_t Sum16Update(uint16_t value, const uint8_t* data, size_t count);

// Checksum modes: the older archive flavour sums, every other one uses CRC-32.
enum ChecksumMode { kChecksumSum16 = 1, kChecksumCrc32 = 2 };

// Mode kChecksumSum16 runs Sum16Update on the low 16 bits of `value` and
// returns the result zero-extended; any other mode runs Crc32Update.
uint32_t ChecksumUpdate(const Crc32Table& table, uint32_t value, const uint8_t* data, size_t count, int mode);
