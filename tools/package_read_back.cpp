#include "tools/package_read_back.h"

#include "archive/extract_archive.h"
#include "tools/result_messages.h"
#include "tools/shown_name.h"

namespace {

// The pass stops right after a bad entry: the one offered last.
int VerifyAndNoteName(char* name, const uint8_t*, uint32_t, void* user) {
  *static_cast<std::string*>(user) = name;
  name[0] = kVerifyOnlyMarker;
  name[1] = '\0';
  return 0;
}

}  // namespace

std::string ReadBackFault(const std::string& path) {
  std::string last;
  uint32_t failure = kFailureNone;
  int result = ExtractArchive(path.c_str(), VerifyAndNoteName, &last, &failure);
  if (result == kExtractOk) return "";
  if (result == kExtractBadEntry && !IsArchiveFailure(failure) && !last.empty()) {
    return ShownName(last) + " as written does not come back as the file it was made from (" +
           FailureReason(failure, FileHeader{}) +
           "): this is a fault in mksetup, not in the product's files; please report it (another --level may"
           " avoid it)";
  }
  return "the package as written could not be read back to check it (result " + std::to_string(result) + ")";
}
