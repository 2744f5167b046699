// Short ways to the archives the tests need.
#pragma once

#include <string>
#include <vector>

#include "tools/archive_writer.h"

inline FileEntryFields Stored(const std::string& name, const std::string& data) {
  FileEntryFields entry;
  entry.name = name;
  entry.data = data;
  return entry;
}

// A "Rar!" archive of the given entries, behind an optional main header.
inline std::string ArchiveOf(const std::vector<FileEntryFields>& entries,
                             const MainHeaderFields& main = MainHeaderFields()) {
  ArchiveWriter writer;
  writer.AddMainHeader(main);
  for (const FileEntryFields& entry : entries) writer.AddFile(entry);
  return writer.bytes();
}

// Three small stored entries, the usual contents of a test archive.
inline std::vector<FileEntryFields> ThreeEntries() {
  return {Stored("one.txt", "first"), Stored("two.txt", "second entry"),
          Stored("three.txt", "third")};
}
