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

// True when `file_name` (a name without folders) must never be written:
// empty, "." or "..", holding a colon (a drive or an alternate data stream)
// or naming a Windows device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$,
// CONOUT$), also with an extension or trailing spaces or dots.
bool IsForbiddenFileName(const char* file_name);
