// What an extraction left in its folder, as a user would compare it with a
// good extraction: the names, each file's bytes, its last-write time and
// permissions, and the time stamp and attributes its entry gave it. The
// entry's values stand for what Windows would show: the POSIX side keeps
// only the read-only bit, and a DOS time may land on the same second as
// another.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tools/archive_catalog.h"

struct TreeItem {
  bool folder = false;
  std::string content;
  int64_t modified = 0;  // file system ticks
  uint32_t permissions = 0;
  uint32_t dos_time = 0;    // from the last entry of this name
  uint32_t attributes = 0;  // likewise, normalised as the pass applies them
};

// By path under the folder, '/' between components.
using ExtractedTree = std::map<std::string, TreeItem>;

// The tree under `folder`, with the entries of `catalog`, the archive that
// was extracted there.
ExtractedTree ReadExtractedTree(const std::string& folder, const Catalog& catalog);

// "0x" and the value in hexadecimal, at least `width` digits.
std::string Hex(uint32_t value, int width = 1);

// The first way in which `got` differs from `good`, in words, or "".
std::string TreeDifference(const ExtractedTree& good, const ExtractedTree& got);
