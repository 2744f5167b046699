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
  if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
  // The port number may be any digit, the superscripts 1, 2 and 3 included.
  unsigned char digit = static_cast<unsigned char>(base[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
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
  std::vector<std::string> components = Components(name);
  // Nothing after the last separator, or a last ".", names a folder.
  if (components.back().empty() || components.back() == ".") return "names a folder, not a file";
  for (const std::string& component : components) {
    // Windows drops trailing dots and spaces, so "..." and ".. " are "..".
    size_t kept = component.find_last_not_of(". ");
    if (kept == std::string::npos && component.size() > 1) return "leads out of the folder (..)";
    if (IsDeviceName(component)) return "Windows device name";
  }
  return "";
}
