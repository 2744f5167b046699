// The entry callback of the installing pass: decides which archive entries
// the user's choices install, and where.
#pragma once

#include <cstdint>

// The text left in the name buffer for an entry that must be installed but
// cannot be written under its own name (an output path that does not fit, a
// name the walk had to cut): a wildcard, which no file system accepts in a
// name, so the driver cannot create the file and the pass ends with -5.
extern const char kUncreatableName[];

struct InstallContext;

// Results of PlacementOf.
enum Placement {
  kNotPlaced = 0,          // the user's choices leave the entry out
  kPlaced = 1,             // installed at the path given
  kPlacedUncreatable = 2,  // installed, but its path does not fit or its name was cut
};

// Where the entry `name` (its stored name) goes under the user's choices,
// without changing anything: the output path into `path` (kPathSize
// bytes) for kPlaced. A German entry the list has checked counts in
// `german_count`.
int PlacementOf(const InstallContext* context, const char* name, char* path, int32_t* german_count);

// EntryCallback of the installing pass; `user` is the InstallContext. Leaves
// in `name` the empty text (skip) or the full path of the output file in the
// destination folder, and notes special entries in the context. What is in
// the way there is kept aside through context->changes. Always 0.
int PlaceEntry(char* name, const uint8_t* data, uint32_t size, void* user);

// True when `file_name` (a name without folders) must never be written: one
// the installer's name rules refuse (InstallerNameFault), a device, a
// stream, a name Windows would change, or none at all.
bool IsForbiddenFileName(const char* file_name);
