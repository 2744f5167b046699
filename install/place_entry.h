// The entry callback of the installing pass: decides which archive entries
// the user's choices install, and where.
#pragma once

#include <cstdint>

// The text left in the name buffer for an entry that must be installed but
// cannot be written under its own name (an output path that does not fit, a
// name the walk had to cut): a wildcard, which no file system accepts in a
// name, so the driver cannot create the file and the pass ends with -5.
extern const char kUncreatableName[];

// EntryCallback of the installing pass; `user` is the InstallContext. Leaves
// in `name` the empty text (skip) or the full path of the output file in the
// destination folder, and notes special entries in the context. Always 0.
int PlaceEntry(char* name, const uint8_t* data, uint32_t size, void* user);

// True when `file_name` (a name without folders) must never be written: one
// the installer's name rules refuse (InstallerNameFault), a device, a
// stream, a name Windows would change, or none at all.
bool IsForbiddenFileName(const char* file_name);
