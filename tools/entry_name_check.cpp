#include "tools/entry_name_check.h"

#include <cstring>

#include "common/entry_names.h"
#include "common/path_helpers.h"

int AuthorNameFault(const char* name) {
  if (name[0] == '\0') return kNameEmpty;
  if (IsPathSeparator(name[0])) return kNameAbsolute;
  if (std::strchr(name, ':') != nullptr) return kNameStream;
  for (const char* c = name; *c != '\0'; ++c) {
    unsigned char byte = static_cast<unsigned char>(*c);
    if (byte < 32 || std::strchr("*?\"<>|", byte) != nullptr) return kNameCharacter;
  }
  const char* part = name;
  for (;;) {
    size_t length = std::strcspn(part, "\\/");
    bool last = part[length] == '\0';
    if (last && (length == 0 || (length == 1 && part[0] == '.'))) return kNameFolder;
    // Windows drops trailing dots and blanks, so "..." and ".. " are "..".
    if (length > 1 && std::strspn(part, ". ") >= length) return kNameParent;
    if (last) break;
    part += length + 1;
  }
  return InstallerNameFault(name);
}

std::string NameFaultText(int fault) {
  switch (fault) {
    case kNameStream:
      return "drive or stream name (colon)";
    case kNameTrailing:
      return "Windows drops the dot or blank at the end of a name";
    case kNameDevice:
      return "Windows device name";
    case kNameFolder:
      return "names a folder, not a file";
    case kNameEmpty:
      return "empty name";
    case kNameAbsolute:
      return "absolute path";
    case kNameCharacter:
      return "character not allowed in Windows names";
    case kNameParent:
      return "leads out of the folder (..)";
    default:
      return "";
  }
}

std::string UnsafeNameReason(const std::string& name) { return NameFaultText(AuthorNameFault(name.c_str())); }
