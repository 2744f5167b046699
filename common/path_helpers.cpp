#include "common/path_helpers.h"

#include <cstring>

#include "common/bounded_text.h"

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

bool AddTrailingSeparator(char* path, size_t size) {
  size_t length = strlen(path);
  if (length == 0 || IsPathSeparator(path[length - 1])) return true;
  if (length + 2 > size) return false;
  path[length] = '\\';
  path[length + 1] = '\0';
  return true;
}

void CopyWithoutTrailingSeparators(char* out, const char* folder) {
  CopyBounded(out, folder, kPathSize);
  size_t length = strlen(out);
  while (length > 3 && IsPathSeparator(out[length - 1])) out[--length] = '\0';
}

void CutLastComponent(char* path) {
  size_t cut = 0;
  for (size_t i = 0; path[i] != '\0'; ++i) {
    if (IsPathSeparator(path[i])) cut = i;
  }
  // "C:\A" must become "C:\", not the drive-relative "C:".
  if (cut == 2 && path[1] == ':') cut = 3;
  if (cut < strlen(path)) path[cut] = '\0';
}

uint16_t FileNameOffset(const char* path) {
  uint16_t offset = 0;
  for (uint16_t i = 0; path[i] != '\0'; ++i) {
    if (IsPathSeparator(path[i])) offset = static_cast<uint16_t>(i + 1);
  }
  return offset;
}

int JoinPath(char* destination, const char* name, size_t size) {
  if (destination == nullptr || name == nullptr || name[0] == '\0') return 0;
  if (IsPathSeparator(name[0])) ++name;
  if (!AddTrailingSeparator(destination, size)) return kTextNoRoom;
  return AppendBounded(destination, name, size);
}

bool PathInFolder(char* path, const char* folder, const char* name) {
  CopyBounded(path, folder, kPathSize);
  return JoinPath(path, name, kPathSize) == kTextWhole;
}

namespace {

// The characters of `text` before its first separator or its end.
size_t ComponentLength(const char* text) {
  size_t length = 0;
  while (text[length] != '\0' && !IsPathSeparator(text[length])) ++length;
  return length;
}

// The length of the path's root, "C:\" or "\\server\share", or 0 when
// the path is not fully qualified.
size_t RootLength(const char* path) {
  const char c = path[0];
  if (((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':') return IsPathSeparator(path[2]) ? 3 : 0;
  if (!IsPathSeparator(path[0]) || !IsPathSeparator(path[1])) return 0;
  // A server and a share, each named. "\\.\" and "\\?\" open the system's
  // device and raw path spaces instead.
  const char* server = path + 2;
  size_t server_length = ComponentLength(server);
  if (server_length == 0 || server[server_length] == '\0') return 0;
  if (server_length == 1 && (server[0] == '.' || server[0] == '?')) return 0;
  const char* share = server + server_length + 1;
  size_t share_length = ComponentLength(share);
  return share_length == 0 ? 0 : static_cast<size_t>(share + share_length - path);
}

}  // namespace

bool IsFullyQualifiedPath(const char* path) { return RootLength(path) != 0; }

bool IsRootFolder(const char* path) {
  const char* rest = path + RootLength(path);
  while (IsPathSeparator(*rest)) ++rest;
  return *rest == '\0';
}

int MakeFullPath(char* path) {
  char full[kPathSize];
  if (FsFullPath(path, full, sizeof full) == 0) return -1;
  memcpy(path, full, strlen(full) + 1);
  return 0;
}

void ToWide(WideChar* destination, const char* source, size_t capacity) {
  if (destination == nullptr) return;
  if (capacity == 0) return;
  destination[0] = 0;
  if (source == nullptr) return;
  FsToWide(destination, source, capacity);
  destination[capacity - 1] = 0;
}

int CheckFileExists(const char* path) { return FsExists(path) ? 0 : -1; }
