#include "tools/package_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <system_error>

#include "archive/archive_format.h"
#include "common/entry_names.h"
#include "common/windows1252.h"
#include "tools/archive_writer.h"
#include "tools/entry_name_check.h"

namespace fs = std::filesystem;

namespace {

// The longest name the installer keeps whole.
constexpr size_t kMaxNameBytes = 259;

// MS-DOS time stamps run from 1980 to 2107.
uint32_t DosTimeOf(std::time_t seconds) {
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &seconds) != 0) return DosTimeStamp(1980, 1, 1, 0, 0, 0);
#else
  if (localtime_r(&seconds, &local) == nullptr) return DosTimeStamp(1980, 1, 1, 0, 0, 0);
#endif
  int year = local.tm_year + 1900;
  if (year < 1980) return DosTimeStamp(1980, 1, 1, 0, 0, 0);
  if (year > 2107) return DosTimeStamp(2107, 12, 31, 23, 59, 58);
  return DosTimeStamp(year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

bool LastWriteTime(const fs::path& path, std::time_t* seconds) {
#ifdef _WIN32
  struct _stat64 info;
  if (_wstat64(path.c_str(), &info) != 0) return false;
#else
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
#endif
  *seconds = info.st_mtime;
  return true;
}

// The name as the user knows it, for messages.
std::string Shown(const fs::path& path) {
  try {
    return path.u8string();
  } catch (...) {
    return "(a name that is not valid text)";
  }
}

// Windows does not tell names apart by case: of two files whose names
// differ only in case one would overwrite the other, and a file cannot
// share its name with a folder.
void CheckNamesApart(PackageSource* source) {
  std::map<std::string, std::string> files;    // folded name -> name
  std::map<std::string, std::string> folders;  // folded folder -> a file in it
  for (const PackageEntry& entry : source->entries) {
    std::string folded = FoldedCase(entry.name);
    auto taken = files.emplace(folded, entry.name);
    if (!taken.second) {
      source->errors.push_back(taken.first->second + " and " + entry.name +
                               ": the names differ only in case, which Windows does not tell apart");
    }
    for (size_t slash = folded.find('\\'); slash != std::string::npos; slash = folded.find('\\', slash + 1)) {
      folders.emplace(folded.substr(0, slash), entry.name);
    }
  }
  for (const auto& file : files) {
    auto folder = folders.find(file.first);
    if (folder != folders.end()) {
      source->errors.push_back(file.second + " and " + folder->second +
                               ": Windows would need a file and a folder of the same name");
    }
  }
}

}  // namespace

std::string FoldedCase(const std::string& name) {
  char folded[kMaxNameBytes + 1];
  FoldEntryName(name.c_str(), folded, sizeof folded);
  return folded;
}

bool ReadFileFacts(std::optional<int64_t> latest_time, PackageEntry* entry, std::error_code* error) {
  entry->size = fs::file_size(entry->source, *error);
  if (*error) return false;
  fs::perms perms = fs::status(entry->source, *error).permissions();
  bool read_only = (perms & fs::perms::owner_write) == fs::perms::none;
  entry->attributes = kAttributeArchive | (read_only ? kAttributeReadOnly : 0);
  std::time_t seconds = 0;
  if (!LastWriteTime(entry->source, &seconds)) seconds = 0;  // becomes 1980, the earliest
  if (latest_time && seconds > *latest_time) seconds = static_cast<std::time_t>(*latest_time);
  entry->dos_time = DosTimeOf(seconds);
  return true;
}

bool ArchiveNameOf(const fs::path& relative, std::string* name) {
  name->clear();
  std::u32string text;
  try {
    text = relative.generic_u32string();
  } catch (...) {
    return false;  // not valid in the system's encoding
  }
  for (char32_t c : text) {
    uint8_t byte;
    if (c == U'/') {
      byte = '\\';
    } else if (!UnicodeToWindows1252(static_cast<uint32_t>(c), &byte)) {
      return false;
    }
    *name += static_cast<char>(byte);
  }
  return true;
}

PackageSource ScanPackageSource(const fs::path& root, std::optional<int64_t> latest_time) {
  PackageSource source;
  std::error_code error;
  if (!fs::is_directory(root, error)) {
    source.errors.push_back(Shown(root) + ": not a folder");
    return source;
  }
  uint64_t total = 0;
  fs::recursive_directory_iterator walk(root, error), end;
  if (error) source.errors.push_back(Shown(root) + ": " + error.message());
  for (; !error && walk != end; walk.increment(error)) {
    const fs::directory_entry& item = *walk;
    fs::path relative = item.path().lexically_relative(root);
    if (item.is_directory(error)) {
      // The walk does not enter linked folders: they could lead out of the
      // product or round in a circle.
      if (item.is_symlink(error)) {
        source.warnings.push_back(Shown(relative) + ": a link to a folder; left out");
      }
      continue;
    }
    if (!item.is_regular_file(error)) {
      source.errors.push_back(Shown(relative) + ": not a regular file");
      continue;
    }
    PackageEntry entry;
    entry.source = item.path();
    if (!ArchiveNameOf(relative, &entry.name)) {
      source.errors.push_back(Shown(relative) + ": the name has characters outside Windows-1252");
      continue;
    }
    if (entry.name.size() > kMaxNameBytes) {
      source.errors.push_back(Shown(relative) + ": the name is longer than 259 bytes");
      continue;
    }
    std::string unsafe = UnsafeNameReason(entry.name);
    if (!unsafe.empty()) {
      source.errors.push_back(Shown(relative) + ": " + unsafe);
      continue;
    }
    if (!ReadFileFacts(latest_time, &entry, &error)) {
      source.errors.push_back(Shown(relative) + ": " + error.message());
      continue;
    }
    if (entry.size >= kMaxPackageBytes) {
      source.errors.push_back(Shown(relative) + ": 2 GiB or more; the installer cannot unpack it");
    }
    total += entry.size;
    source.entries.push_back(entry);
  }
  if (error) source.errors.push_back(Shown(root) + ": " + error.message());
  if (total >= kMaxPackageBytes) {
    source.errors.push_back("the files come to 2 GiB or more; the installer cannot unpack them");
  }
  std::sort(source.entries.begin(), source.entries.end(),
            [](const PackageEntry& a, const PackageEntry& b) { return a.name < b.name; });
  CheckNamesApart(&source);
  return source;
}
