// Short ways to the archives the tests need.
#pragma once

#include <string>
#include <vector>

#include "tools/archive_writer.h"

// Three small stored entries, the usual contents of a test archive.
inline std::vector<FileEntryFields> ThreeEntries() {
  return {StoredEntry("one.txt", "first"), StoredEntry("two.txt", "second entry"), StoredEntry("three.txt", "third")};
}

// The entry with these flags besides the long-block bit.
inline FileEntryFields WithFlags(FileEntryFields entry, uint16_t flags) {
  entry.flags = static_cast<uint16_t>(kFlagLongBlock | flags);
  return entry;
}
