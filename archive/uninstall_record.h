// The ready uninstaller's record: what one package's uninstaller removes.
// mksetup build fills it as it adds the uninstaller to a package, the way
// it seals Setup.exe; the uninstaller reads it from its own file, and
// Setup.exe reads it to tell the ready uninstaller from a hand-written one.
//
// The program carries a 20-byte record in its data: an 8-byte tag by which
// mksetup finds it, then the offset in the program file of the uninstall
// list, the list's length and its CRC-32, all little-endian. The three are
// 0 in a program that no build has filled. The list follows the program's
// image: zero-terminated Windows-1252 texts, first the product name, the
// package ID and the main program's file name (each may be empty), then
// one text for every file name the package can place in its folder, and an
// empty text after the last.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/archive_format.h"
#include "common/description_text.h"

constexpr uint32_t kUninstallTagSize = 8;
constexpr uint32_t kUninstallRecordSize = 20;
constexpr uint8_t kUninstallTag[kUninstallTagSize] = {0x89, 'T', 'v', 'U', 'n', 'i', 'n', 0x1A};

// The ready uninstaller is at most this large, so its record always lies
// within this many bytes of its file's start. The build checks the size.
constexpr uint32_t kLargestUninstaller = 40960;

// The longest texts of the list's head, terminators excluded: Setup.exe's
// fields for the product name, the package ID and the main program.
constexpr size_t kLongestProductName = sizeof(PackageDescription::group) - 1;
constexpr size_t kLongestPackageId = sizeof(PackageDescription::package_id) - 1;
constexpr size_t kLongestMainProgram = sizeof(PackageDescription::exe_name) - 1;

struct UninstallRecord {
  uint8_t bytes[kUninstallRecordSize];
};

// The record as the program carries it before any build has filled it.
constexpr UninstallRecord EmptyUninstallRecord() {
  UninstallRecord record{};
  for (uint32_t i = 0; i < kUninstallTagSize; ++i) record.bytes[i] = kUninstallTag[i];
  return record;
}

// Where the list lies in the program file, as a record says.
struct UninstallListPlace {
  uint32_t offset;
  uint32_t length;
  uint32_t crc;
};

// The place held by a record's bytes (the tag is not looked at). Inline,
// so that Setup.exe, which only asks whether a record is filled, links
// nothing of the list's reading.
inline UninstallListPlace ReadUninstallRecord(const uint8_t* record) {
  const uint8_t* fields = record + kUninstallTagSize;
  return {ReadLe32(fields), ReadLe32(fields + 4), ReadLe32(fields + 8)};
}

// A list is never empty, so a record with a length was filled by a build.
inline bool IsFilled(const UninstallListPlace& place) { return place.length != 0; }

// The offset of the first record tag within `image` (`size` bytes) that
// leaves room for the whole record; -1 when there is none. This lives in a
// file of its own: the tag it compares with would otherwise be linked into
// the uninstaller as a second, look-alike record.
long FindUninstallRecord(const uint8_t* image, size_t size);

// An uninstall list read in place: the texts point into the caller's bytes.
struct UninstallList {
  const char* product;       // the product name: Start-Menu group, uninstall entry
  const char* package_id;    // the name of the remembered folder's value
  const char* main_program;  // file name of the main program
  const char* first_name;    // the first file name; the next follows its terminator
  uint32_t name_count;
};

// Reads the list in `data` (`length` bytes). False when it is not one that
// a build writes: a text without its terminator, a head text longer than
// its field, a product name that could not name a folder, no empty text at
// the end, or a file name that is empty or could lead out of the folder
// (separators, a drive or stream colon, "." or "..").
bool ParseUninstallList(const char* data, uint32_t length, UninstallList* list);

// The file name after `name` in a list.
inline const char* NextUninstallName(const char* name) {
  while (*name != '\0') ++name;
  return name + 1;
}
