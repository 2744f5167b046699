#include "tools/entry_name_check.h"

#include <cctype>
#include <vector>

namespace {

std::vector<std::string> Components(const std::string& name) {
  std::vector<std::string> parts(1);
  for (char c : name) {
    if (c == '\\' || c == '/') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// Windows opens a device for these names whatever extension follows and
// whatever trailing dots or spaces, in any case.
bool IsDeviceName(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

std::string UnsafeNameReason(const std::string& name) {
  if (name.empty()) return "empty name";
  if (name[0] == '\\' || name[0] == '/') return "absolute path";
  if (name.find(':') != std::string::npos) return "drive or stream name (colon)";
  for (unsigned char c : name) {
    if (c < 32 || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|') {
      return "character not allowed in Windows names";
    }
  }
  for (const std::string& component : Components(name)) {
    // Windows drops trailing dots and spaces, so "..." and ".. " are "..".
    size_t kept = component.find_last_not_of(". ");
    if (kept == std::string::npos && component.size() > 1) return "leads out of the folder (..)";
    if (IsDeviceName(component)) return "Windows device name";
  }
  return "";
}
