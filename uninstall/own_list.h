// The uninstaller's own record, and the list of its package that the
// record points at, read from the program's own file.
#pragma once

#include "common/path_helpers.h"
#include "archive/uninstall_record.h"

struct OwnList {
  char path[kPathSize];    // the program's own file
  char folder[kPathSize];  // the folder it is in: `path` without its name
  char* bytes;             // the list as read, owned; null until read
  uint32_t length;
  UninstallList list;  // points into `bytes`
};

// Reads the list into `own` (zero-filled by the caller). False when the
// record was never filled or the list does not read back as it was
// written; `own` is then released all the same by FreeOwnList.
bool ReadOwnList(OwnList* own);

// True when the file at `path` carries the very list `own` read, at the
// same place: it is this uninstaller, installed for the same package.
bool CarriesSameList(const char* path, const OwnList& own);

void FreeOwnList(OwnList* own);
