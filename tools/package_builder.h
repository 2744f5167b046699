// Writes the archive of a package after a stub: a main header, then one
// file entry per file, each packed at the chosen level (or stored when
// packing saves less than 1 % or 16 bytes), solid unless asked otherwise.
// Entry data streams from the source files; memory stays bounded whatever
// their size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/package_source.h"

struct BuildOptions {
  int level = 3;      // 0 stores every entry; 1 (fastest) to 5 (smallest)
  bool solid = true;  // entries continue one another's dictionary
  // A second thread searches (levels 4 and 5) or codes (1 to 3) while
  // this one parses; the archive is the same either way.
  bool second_thread = true;
};

// What a build tells as it goes, for a progress line and a listing of the
// files; either may be left empty. Entries are counted by their place in the
// list given to BuildPackage.
struct BuildProgress {
  // As bytes of an entry are read: how many so far. An entry that packing
  // does not shrink enough is read once more, to be stored, from 0 again.
  std::function<void(size_t entry, uint64_t read)> reading;
  // Once an entry is in the archive: its data's size there, and whether it
  // is stored as it is.
  std::function<void(size_t entry, uint64_t packed, bool stored)> added;
};

struct BuildOutcome {
  bool ok = false;
  std::string error;            // when not ok
  uint64_t archive_offset = 0;  // where the archive's marker starts
  uint64_t file_size = 0;       // of the whole output, stub included
  uint64_t unpacked = 0;        // entry bytes read
  uint64_t packed = 0;          // entry data written
  size_t stored = 0;            // entries stored rather than packed
};

// Whether an entry of `unpacked` bytes is kept packed as `packed` bytes:
// only when that saves at least 16 bytes and at least 1 % of the entry.
bool WorthPacking(uint64_t unpacked, uint64_t packed);

// Writes `stub` followed by the archive to `output`, replacing it.
BuildOutcome BuildPackage(const std::string& stub, const std::vector<PackageEntry>& entries,
                          const BuildOptions& options, const std::filesystem::path& output,
                          const BuildProgress* progress);
