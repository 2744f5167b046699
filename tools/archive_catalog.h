// The headers of an archive as mksetup shows them: one walk with the same
// code the extraction pass uses, so that both see the same entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/extract_context.h"

struct CatalogEntry {
  FileHeader header;            // attributes normalised as the pass sees them
  std::string name;             // as the pass offers it: at most 259 bytes, '\' separators
  uint32_t stored_name_length;  // before any cut
  int32_t position;             // offset of the entry's header in the file

  bool IsDirectory() const;
  bool IsVolumeLabel() const;
  bool NameWasCut() const { return stored_name_length >= kNameSize; }
  // The walk keeps the bytes after a NUL, the name as offered ends there.
  bool NameHasNul() const { return header.name_length > name.size(); }
};

struct Catalog {
  bool opened = false;
  bool found = false;
  uint32_t flavour = 0;
  int32_t archive_start = 0;
  MainHeader main_header{};
  bool main_header_bad = false;
  int32_t archive_end = 0;        // where the archive ends: the end of the file,
  uint32_t certificate_size = 0;  // or a signed file's certificate table of this size
  std::vector<CatalogEntry> entries;
  uint32_t walk_end = 0;  // WalkEnd
  int32_t walk_end_position = 0;
};

Catalog ReadCatalog(const std::string& path);

// Where and how the archive's headers are damaged or cut short, or "" when
// the walk ended exactly at the archive's end.
std::string HeaderDamage(const Catalog& catalog);

// A line saying that the file is signed, or "". The signature itself is not
// judged.
std::string SignatureLine(const Catalog& catalog);
