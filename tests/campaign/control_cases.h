// Controls for the campaign's judgement: bare archives changed so that they
// stay well formed, every check value made right, yet extract to another
// tree. Nothing can tell them from archives built that way, so each must be
// judged SILENT; one judged otherwise shows a comparison that misses a way
// in which a tree can differ, or a check that refuses a sound archive.
#pragma once

#include <string>
#include <vector>

#include "tools/archive_catalog.h"

struct ControlCase {
  std::string what;
  std::string bytes;  // the whole changed file
};

// The controls for the bare archive `bytes`, whose catalog is `catalog`.
std::vector<ControlCase> MakeControls(const std::string& bytes, const Catalog& catalog);
