// The build side of the package seal: finding the record in a program file
// by its tag, filling it once the archive behind the program is written, and
// reading it back from a package.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/package_seal.h"
#include "tools/archive_catalog.h"

// Offsets of every seal record tag in `image`.
std::vector<size_t> FindSealRecords(const std::string& image);

// Measures the archive from its marker to the end of the file at `path` and
// writes its seal into the record at `record_offset`. Returns "" or what
// went wrong.
std::string SealPackage(const std::string& path, uint64_t record_offset, uint64_t archive_size);

struct SealReport {
  bool sealed = false;   // the file carries one filled record before its archive
  int check = kSealHolds;  // SealCheck
  PackageSeal seal{};    // what the record holds, when sealed
  std::string text;      // one line for the user when sealed
};

// Checks the seal of the package at `path`, whose archive the catalog found.
SealReport CheckFileSeal(const std::string& path, const Catalog& catalog);
