// The package seal: the length and CRC-32 of the archive that mksetup build
// appended, written into a small record that Setup.exe carries in its data.
// An archive cut exactly between two blocks reads as a shorter, complete
// archive; the seal is what tells the two apart.
//
// The record is 16 bytes: an 8-byte tag by which mksetup finds it in the
// program file, then the archive's length and CRC-32, both little-endian.
// Both are 0 in a program that no build has sealed. The seal covers the
// archive bytes only, from its marker on, so that whatever a signing tool
// appends after them, or changes in the executable's header, leaves it
// intact.
#pragma once

#include <cstdint>

constexpr uint32_t kSealTagSize = 8;
constexpr uint32_t kSealRecordSize = 16;
constexpr uint8_t kSealTag[kSealTagSize] = {0x89, 'T', 'v', 'S', 'e', 'a', 'l', 0x1A};

struct SealRecord {
  uint8_t bytes[kSealRecordSize];
};

// The record as a program carries it before any build has filled it.
constexpr SealRecord EmptySealRecord() {
  SealRecord record{};
  for (uint32_t i = 0; i < kSealTagSize; ++i) record.bytes[i] = kSealTag[i];
  return record;
}

struct PackageSeal {
  uint32_t length;  // archive bytes from the marker on
  uint32_t crc;     // their CRC-32
};

// The seal held by a record's bytes (the tag is not looked at).
PackageSeal ReadSealRecord(const uint8_t* record);

// A record that no build filled seals nothing. A real archive is never
// empty, so any nonzero field means the record was filled.
inline bool IsSealed(const PackageSeal& seal) { return seal.length != 0 || seal.crc != 0; }

// Outcomes of CheckPackageSeal.
enum SealCheck {
  kSealHolds = 0,      // not sealed, or the archive is exactly what was sealed
  kSealNoArchive = 1,  // the file cannot be read, holds no archive, or no memory
  kSealShort = 2,      // the file ends before the sealed length
  kSealMismatch = 3,   // the sealed bytes are there but their CRC-32 differs
};

// Finds the archive in the file at `path` as the extraction pass finds it
// and measures up to `length` of its bytes from the marker on: how many the
// file holds and their CRC-32. False when the file cannot be read, holds no
// archive, or there is no memory to search it.
bool MeasureArchive(const char* path, uint32_t length, PackageSeal* measured);

// Checks the archive in the file at `path` against `seal`: the archive is
// found as the extraction pass finds it, and its first seal.length bytes
// must be in the file and have the sealed CRC-32. What follows them does not
// matter. `found`, when given, receives MeasureArchive's figures. Returns a
// SealCheck.
int CheckPackageSeal(const char* path, const PackageSeal& seal, PackageSeal* found = nullptr);
