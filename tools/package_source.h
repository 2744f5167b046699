// The files of a product folder as archive entries: their names as the
// installer will see them (Windows-1252, '\' between folders), sizes,
// attributes and time stamps.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

struct PackageEntry {
  std::filesystem::path source;  // the file on disk
  std::string name;              // archive name, Windows-1252, '\' separators
  uint64_t size = 0;
  uint32_t attributes = 0;  // archive bit, and read-only when the file is
  uint32_t dos_time = 0;    // last write, MS-DOS local time
  // The bytes to pack instead of the file's, which then gives only the
  // time stamp and the name in messages: the ready uninstaller, filled for
  // the package in memory, so that no build leaves a file of it behind.
  std::optional<std::string> contents;
};

// Entries and their totals beyond this cannot be unpacked: the decoder
// counts sizes in signed 32 bits.
constexpr uint64_t kMaxPackageBytes = uint64_t{1} << 31;

struct PackageSource {
  std::vector<PackageEntry> entries;  // sorted by name
  std::vector<std::string> errors;    // one line each: the package cannot be built
  std::vector<std::string> warnings;  // one line each: something left out
};

// Every regular file under `root`, in name order. Links to files count as
// the files; links to folders are left out with a warning. Names Windows
// could not keep apart are errors. With `latest_time` (seconds since 1970),
// no entry's time stamp is later than it.
PackageSource ScanPackageSource(const std::filesystem::path& root, std::optional<int64_t> latest_time = std::nullopt);

// The name as Windows compares names: Windows-1252 letters in upper case.
std::string FoldedCase(const std::string& name);

// Fills the size, attributes and time stamp of `entry` from its source file,
// as a scan does; false with `error` when the file cannot be looked at.
bool ReadFileFacts(std::optional<int64_t> latest_time, PackageEntry* entry, std::error_code* error);

// The Windows-1252 form of a relative path with '\' separators; false when a
// character has no Windows-1252 byte.
bool ArchiveNameOf(const std::filesystem::path& relative, std::string* name);
