#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/windows1252.h"

namespace {

// The POSIX spelling of a path: every '\' becomes '/'.
std::string NativePath(const char* path) {
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

}  // namespace

size_t FsFullPath(const char* path, char* out, size_t size) {
  std::string native = NativePath(path);
  if (native.empty()) return 0;
  if (native[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return 0;
    native = std::string(cwd) + "/" + native;
  }
  // Fold ".", ".." and repeated separators without asking whether anything
  // exists, as GetFullPathNameA does.
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= native.size()) {
    size_t end = native.find('/', start);
    if (end == std::string::npos) end = native.size();
    std::string part = native.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string full;
  for (const std::string& part : parts) full += "/" + part;
  if (full.empty()) full = "/";
  if (full.size() + 1 > size) return 0;
  memcpy(out, full.c_str(), full.size() + 1);
  return full.size();
}

void FsToWide(WideChar* destination, const char* source, size_t capacity) {
  size_t i = 0;
  for (; i + 1 < capacity && source[i] != '\0'; ++i) {
    destination[i] = Windows1252ToUnicode(static_cast<uint8_t>(source[i]));
  }
  destination[i] = 0;
}

bool FsExists(const char* path) {
  struct stat info;
  return stat(NativePath(path).c_str(), &info) == 0;
}
