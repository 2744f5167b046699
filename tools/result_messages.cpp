#include "tools/result_messages.h"

#include "archive/archive_format.h"
#include "archive/extract_archive.h"

std::string FailureReason(uint32_t failure, const FileHeader& header) {
  switch (failure) {
    case kFailureEnciphered:
      return "enciphered entry";
    case kFailureOtherVolume:
      return "continues in another volume";
    case kFailureMethodVersion:
      return "unsupported method version " + std::to_string(header.unpack_version);
    case kFailureAudio:
      return "audio blocks are not supported";
    case kFailureDamaged:
      return "packed data damaged or cut short";
    case kFailureOutput:
      return "not all of its bytes could be written or held";
    case kFailureTooLarge:
      return "2 GiB or larger";
    case kFailureLength:
      return "fewer bytes than its stated size";
    case kFailureHeader:
      return "damaged header";
    case kFailureCut:
      return "archive cut short";
    case kFailureNoEntries:
      return "no file entry";
    case kFailureNameNul:
      return "name holds a NUL byte";
    default:
      return "CRC mismatch";
  }
}

bool IsArchiveFailure(uint32_t failure) {
  return failure == kFailureHeader || failure == kFailureCut || failure == kFailureNoEntries;
}

std::string ResultMessage(int result, const std::string& file, const Catalog& catalog, const std::string& entry,
                          const std::string& reason) {
  switch (result) {
    case kExtractNoContext:
      return "not enough memory to start reading " + file;
    case kExtractNoArchive:
      if (!catalog.opened) return "cannot open " + file;
      if (catalog.found) {
        return file +
               " is a later part of a volume set: its first entry continues from a "
               "previous volume";
      }
      return "no archive found in " + file + " (its marker must start at offset 0 or between offsets 7 and 249,996)";
    case kExtractBadEntry: {
      if (!entry.empty()) {
        return "entry " + entry + " in " + file + " is bad (" + reason + "); the pass stopped there";
      }
      std::string damage = HeaderDamage(catalog);
      return "the archive in " + file + " is damaged (" + reason + ")" + (damage.empty() ? "" : ": " + damage);
    }
    case kExtractNoWindow:
      return "not enough memory for the 1 MiB unpacking window";
    case kExtractCannotCreate:
      return "cannot create " + entry + " (a folder of that name, or no permission)";
    case kExtractNoCopyBuffer:
      return "not enough memory to copy the stored entry " + entry;
    default:
      return "reading " + file + " ended with result " + std::to_string(result);
  }
}
