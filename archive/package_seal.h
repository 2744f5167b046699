// The package seal: the length and CRC-32 of the archive that mksetup build
// appended, written into a small record in the program's own MS-DOS header.
// An archive cut exactly between two blocks reads as a shorter, complete
// archive, and blocks added after it read as more entries; the seal is what
// tells both from the package that was built.
//
// The record lies in the header's reserved words (file offsets 40 to 59),
// which the loader never reads and every linker leaves zero, so the
// installer and mksetup read it at one fixed place of the file and need
// not search for it. It is 20 bytes, integers little-endian:
//   0  tag "TvSe"       4  layout 1      5  state (building or sealed)
//   6  two zero bytes   8  archive length  12  archive CRC-32
//   16 CRC-32 of bytes 0 to 15
// Twenty zero bytes are no record: a program that no build sealed. Any other
// bytes whose own CRC-32 fails are a damaged record. The seal covers the
// archive bytes from the marker on; a signing tool appends the certificate
// table after them (up to 7 zero bytes first to align it) and changes
// nothing of the record, so a signed package keeps its seal.
#pragma once

#include <cstdint>

struct Crc32Table;
struct PassProgress;

constexpr uint32_t kSealRecordOffset = 40;
constexpr uint32_t kSealRecordSize = 20;

struct PackageSeal {
  uint32_t length;  // archive bytes from the marker on
  uint32_t crc;     // their CRC-32
};

// What the record bytes of a file hold.
enum SealRecordKind {
  kRecordNone = 0,         // twenty zero bytes: nothing was sealed
  kRecordOtherLayout = 1,  // a whole record of a layout this program does not read
  kRecordDamaged = 2,      // bytes that do not match their own check
  kRecordBuilding = 3,     // written when a build starts, replaced when it ends
  kRecordSealed = 4,       // the seal of a finished build
};

struct SealRecord {
  uint32_t kind;     // SealRecordKind
  PackageSeal seal;  // kRecordSealed only
};

// A record of this layout starts with its tag and layout number; its own
// CRC-32 covers the bytes before it.
constexpr uint8_t kSealRecordStart[5] = {'T', 'v', 'S', 'e', 1};
constexpr uint32_t kSealCheckedBytes = 16;

// The CRC-32 of a record's first kSealCheckedBytes bytes.
uint32_t SealRecordCheck(const Crc32Table& crc, const uint8_t* bytes);

SealRecord DecodeSealRecord(const Crc32Table& crc, const uint8_t* bytes);

// Outcomes of CheckPackageSeal.
enum SealCheck {
  kSealHolds = 0,      // the archive is exactly the bytes that were sealed
  kSealNotSealed = 1,  // no record (or one of another layout): the entries alone decide
  kSealNoArchive = 2,  // the file cannot be read, holds no archive, or no memory
  kSealShort = 3,      // the file ends before the sealed length
  kSealMismatch = 4,   // the sealed bytes are there but their CRC-32 differs
  kSealDataAfter = 5,  // data after the sealed archive
  kSealBuilding = 6,   // a build that has not finished: not an installer
  kSealBadRecord = 7,  // the record itself is damaged
};

// True when the outcome lets the entries be read: the seal holds, nothing
// was sealed, or the pass itself will find that there is no archive.
inline bool SealLetsEntriesBeRead(int check) {
  return check == kSealHolds || check == kSealNotSealed || check == kSealNoArchive;
}

// What CheckPackageSeal found, for messages.
struct SealFindings {
  uint32_t record;        // SealRecordKind
  PackageSeal seal;       // as recorded
  PackageSeal measured;   // archive bytes there are, up to the sealed length, and their CRC-32
  int32_t archive_start;  // where the archive's marker is; 0 when none was found
  uint32_t after;         // bytes between the sealed end and the archive's end
};

// Checks the package in the file at `path` as the installer does before it
// reads an entry: reads the record, and for a sealed one finds the archive
// as the extraction pass does and requires exactly seal.length bytes from
// its marker to the end of the file (or to a signature's certificate
// table) with the sealed CRC-32. Returns a SealCheck. `progress`, when
// given, follows that read of the sealed bytes (its result is not asked).
int CheckPackageSeal(const char* path, SealFindings* findings = nullptr, PassProgress* progress = nullptr);
