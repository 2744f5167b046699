// What mksetup tells the user about the outcome of a pass.
#pragma once

#include <cstdint>
#include <string>

#include "tools/archive_catalog.h"

// Why an entry was bad, from the pass's EntryFailure and the entry itself.
std::string FailureReason(uint32_t failure, const FileHeader& header);

// True for the failures of the archive as a whole, found between entries:
// no entry is to blame.
bool IsArchiveFailure(uint32_t failure);

// One line for a pass result other than 0. `file` is the archive,
// `entry` the entry the pass stopped at (or "" when the archive as a whole
// failed), `reason` the failure.
std::string ResultMessage(int result, const std::string& file, const Catalog& catalog, const std::string& entry,
                          const std::string& reason);
