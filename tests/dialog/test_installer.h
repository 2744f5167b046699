// Installers for the whole-program tests: the built Setup.exe with a package
// of stored entries appended, as mksetup makes one.
#pragma once

#include <string>
#include <vector>

#include "tests/support/scratch.h"
#include "tools/archive_writer.h"

struct PackageEntry {
  std::string name;
  std::string data;
  uint32_t time_stamp = FileEntryFields().time_stamp;
};

// Writes the installer to `path`; returns `path`.
inline std::string WriteInstaller(const std::string& path, const std::vector<PackageEntry>& entries) {
  std::vector<FileEntryFields> stored;
  for (const PackageEntry& entry : entries) {
    stored.push_back(StoredEntry(entry.name, entry.data));
    stored.back().time_stamp = entry.time_stamp;
  }
  WriteWholeFile(path, ReadWholeFile(TOLVEN_SETUP_EXE) + ArchiveOf(stored));
  return path;
}
