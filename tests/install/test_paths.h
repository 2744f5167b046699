// Scratch paths in the form Windows itself reports paths: Wine hands the
// build tree over with forward slashes, the system answers with backslashes.
#pragma once

#include <string>

#include "tests/support/scratch.h"

// ScratchFolder() with backslashes only, without its trailing separator.
inline std::string WindowsScratchFolder() {
  std::string folder = ScratchFolder();
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  folder.pop_back();
  return folder;
}
