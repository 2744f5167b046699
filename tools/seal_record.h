// The build side of the package seal, and how mksetup tells the user what
// the seal of a package says.
#pragma once

#include <cstdint>
#include <string>

#include "archive/package_seal.h"

// What a stub's header offers the seal.
enum StubSealRoom {
  kStubSealable = 0,     // no record yet, or one of this layout: it is sealed
  kStubOtherLayout = 1,  // a record this mksetup cannot write: left unsealed
  kStubNoRoom = 2,       // too short to hold a record: left unsealed
  kStubBadRecord = 3,    // bytes there that are no record: the stub is refused
};

int StubSealRoom(const std::string& stub);

// The bytes of a record of this layout.
std::string SealRecordBytes(uint32_t kind, const PackageSeal& seal = {0, 0});

// The stub as a build writes it first: a sealable stub carries a building
// record, which the installer and mksetup test refuse until SealPackage
// replaces it.
std::string StubForBuild(std::string stub);

// Measures the archive of `archive_size` bytes from `archive_offset` to
// the end of the file at `path` and writes its seal into the header.
// Returns "" or what went wrong.
std::string SealPackage(const std::string& path, uint64_t archive_offset, uint64_t archive_size);

// The seal of a package as mksetup reports it.
struct SealReport {
  int check = kSealNoArchive;  // SealCheck
  SealFindings findings{};
  std::string text;  // one line for the user; "" when there is no archive
  bool Refused() const { return !SealLetsEntriesBeRead(check); }
  // The offset where the sealed archive ends, for a package with data after it.
  int64_t SealedEnd() const { return findings.archive_start + int64_t{findings.seal.length}; }
};

SealReport CheckFileSeal(const std::string& path);
