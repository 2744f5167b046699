#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
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

FILE* FsOpenShared(const char* path) { return fopen(NativePath(path).c_str(), "rb"); }

bool FsIsLink(const char* path) {
  struct stat info;
  return lstat(NativePath(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

FILE* FsCreateFile(const char* path) {
  // Always a new file: one already there is removed first, never written
  // into, so that a hard link to a file elsewhere keeps that file whole.
  std::string native = NativePath(path);
  const int flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = open(native.c_str(), flags, 0666);
  if (fd < 0 && errno == EEXIST && unlink(native.c_str()) == 0) fd = open(native.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, "w+b");
  if (file == nullptr) close(fd);
  return file;
}

bool FsDeleteFile(const char* path) { return unlink(NativePath(path).c_str()) == 0; }

uint32_t FsLastError() { return static_cast<uint32_t>(errno); }

bool FsCloseWithDosTime(FILE* file, uint32_t dos_time) {
  bool flushed = fflush(file) == 0;
  struct tm local = {};
  local.tm_year = static_cast<int>((dos_time >> 25) & 0x7F) + 80;
  local.tm_mon = static_cast<int>((dos_time >> 21) & 0x0F) - 1;
  local.tm_mday = static_cast<int>((dos_time >> 16) & 0x1F);
  local.tm_hour = static_cast<int>((dos_time >> 11) & 0x1F);
  local.tm_min = static_cast<int>((dos_time >> 5) & 0x3F);
  local.tm_sec = static_cast<int>(dos_time & 0x1F) * 2;
  local.tm_isdst = -1;  // let the zone rules say whether summer time applied
  time_t seconds = mktime(&local);
  if (flushed && seconds != static_cast<time_t>(-1)) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // last access stays
    times[1].tv_sec = seconds;
    times[1].tv_nsec = 0;
    futimens(fileno(file), times);
  }
  return fclose(file) == 0 && flushed;
}

void FsSetNewFileAttributes(const char* path, uint32_t attributes) {
  if ((attributes & 0x01) == 0) return;
  // Through a descriptor of the file itself: a link put in its place since
  // it was written is not followed, and a hard link to a file elsewhere
  // (which has a second name) is left alone.
  int fd = open(NativePath(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1) {
    fchmod(fd, info.st_mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH));
  }
  close(fd);
}
