// The names of the package's file entries, in stored order, as the
// description pass met them, folded as Windows compares file names: what
// tells a name that Windows would write into an earlier entry's file (one
// that differs only in case), and what the checks before an installation
// look at to learn which files the user's choices will place, before the
// installing pass changes anything.
#pragma once

#include <cstdint>

#include "archive/memory_buffer.h"

struct EntryCatalogue {
  // For each name: a 4-byte hash of it, then the folded name and its 0.
  MemoryBuffer names;
};

// Adds the stored name of a file entry. False, with nothing added, when it
// folds to an earlier entry's name, or when there is no memory for it (it
// could not be told apart from the later ones).
bool AddCatalogueEntry(EntryCatalogue* catalogue, const char* name);

// The folded name after the one at `*offset` (start with 0), moving
// `*offset` past it; null after the last.
const char* NextCatalogueEntry(const EntryCatalogue* catalogue, uint32_t* offset);

// Folds `name` as Windows compares file names (FoldEntryName) into `folded`
// (kPathSize bytes, the name cut to fit) and returns its FNV-1a hash: the
// same for every spelling of one file's name.
uint32_t FoldName(const char* name, char* folded);
