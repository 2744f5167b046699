// One pass over the archive inside a file: every entry in stored order is
// offered to the entry callback, which chooses to skip it, take it into
// memory, only verify it, or have it written to a path of its choosing.
#pragma once

#include <cstdint>

#include "archive/extract_context.h"

// What made the entry that ended a pass with kExtractBadEntry bad.
enum EntryFailure {
  kFailureNone = 0,
  kFailureChecksum = 1,       // the data does not match its stored check value
  kFailureEnciphered = 2,     // enciphered entries are never deciphered
  kFailureOtherVolume = 3,    // part of the entry's data lies in another volume
  kFailureMethodVersion = 4,  // compressed with a method version below 16
  kFailureAudio = 5,          // uses audio blocks, which are not reproduced
  kFailureDamaged = 6,        // the decoder ran well past the packed data
  kFailureOutput = 7,         // the file or memory did not take every byte
  kFailureTooLarge = 8,       // 2 GiB or more
  kFailureLength = 9,         // fewer bytes than the header's unpacked size
  kFailureNameNul = 13,       // a NUL byte in the name: it could only be offered cut
  // The archive rather than one entry: the pass stopped between entries.
  kFailureHeader = 10,     // a header's check value or layout is damaged
  kFailureCut = 11,        // the archive ends inside a block
  kFailureNoEntries = 12,  // the archive holds no file entry at all
  kFailureStopped = 14,    // the caller's progress report stopped the pass
};

// Runs one pass over the archive in the file at `path` (which must stay valid
// for the pass). Returns an ExtractResult. When the result is
// kExtractBadEntry and `failure` is given, it receives the EntryFailure.
// `progress`, when given, follows the pass.
int ExtractArchive(const char* path, EntryCallback callback, void* user, uint32_t* failure = nullptr,
                   PassProgress* progress = nullptr);

// The entry loop of a pass, on a context that ExtractArchive prepared.
int ExtractEntries(ExtractContext* context);
