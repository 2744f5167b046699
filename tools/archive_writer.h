// Writes archives block by block: the marker, the main header, file entries
// with any header fields, and blocks of any type. Every field can be set,
// checks included, so the same writer makes both good archives and
// deliberately broken ones. Entry data is written as given (already packed,
// or stored as it is).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/checksum.h"

// The CRC-32 table, built once, for writers that check data as it streams.
const Crc32Table& WriterCrc32Table();

// CRC-32 (IEEE 802.3) and the older flavour's 16-bit sum of some bytes.
uint32_t Crc32Of(const std::string& bytes);
uint16_t Sum16Of(const std::string& bytes);

// Append the low 16 bits, or all 32, of `value` to `out`, little-endian.
void PutLe16(std::string& out, uint32_t value);
void PutLe32(std::string& out, uint32_t value);

// An MS-DOS local time stamp: date in the high half, time in the low half.
uint32_t DosTimeStamp(int year, int month, int day, int hour, int minute, int second);

struct MainHeaderFields {
  uint16_t flags = 0;
  std::string extra;             // after the 13-byte fixed part, e.g. a comment
  std::optional<uint16_t> size;  // default: 13 + extra
  uint8_t type = kMainHeaderType;
  bool bad_check = false;           // store a check value that does not match
  bool check_covers_extra = false;  // the check covers `extra` too, not only the fixed part
};

struct FileEntryFields {
  std::string name;                       // stored as it is, '/' or '\' alike
  std::string data;                       // the entry's bytes as they lie in the archive
  std::optional<uint32_t> unpacked_size;  // default: data.size() (stored entries)
  std::optional<uint32_t> data_crc;       // default: check value of `data` for the flavour
  uint16_t flags = kFlagLongBlock;
  uint8_t host_system = 2;  // 0..2 keep attributes; 3 and above replace them
  uint32_t attributes = kAttributeArchive;
  uint32_t time_stamp = DosTimeStamp(2007, 6, 15, 12, 30, 0);
  uint8_t unpack_version = 20;
  uint8_t method = kMethodStored;
  std::optional<uint16_t> name_length;  // default: name.size()
  std::string header_extra;             // header bytes after the name
  std::optional<uint16_t> header_size;  // default: 32 + name + header_extra
  std::optional<uint32_t> packed_size;  // default: data.size()
  bool bad_header_check = false;
  bool check_skips_extra = false;  // the check covers the fixed part and name only
};

class ArchiveWriter {
 public:
  // kFlavourRar writes the "Rar!" marker; kFlavourOld starts with the older
  // "RE~^" main header and sums entry data instead of CRC-32.
  explicit ArchiveWriter(ArchiveFlavour flavour = kFlavourRar) : flavour_(flavour) {}

  // The marker (for "Rar!") and the main header; must come first.
  void AddMainHeader(const MainHeaderFields& fields = MainHeaderFields());
  void AddFile(const FileEntryFields& fields);
  // A block of any type: the common header, `header_tail` (counted in the
  // header size) and `data`. With kFlagLongBlock in `flags` the add size
  // counts `data`.
  void AddBlock(uint8_t type, uint16_t flags, const std::string& header_tail = "", const std::string& data = "");

  const std::string& bytes() const { return bytes_; }

  // The bytes AddMainHeader and AddFile would add (a file header without its
  // data), for writers that stream entry data themselves.
  std::string MainHeaderBytes(const MainHeaderFields& fields) const;
  std::string FileHeaderBytes(const FileEntryFields& fields) const;

 private:
  ArchiveFlavour flavour_;
  std::string bytes_;
};

// A stored entry with every other field at its default.
FileEntryFields StoredEntry(const std::string& name, const std::string& data);

// A whole "Rar!" archive: marker, main header and the entries in order.
std::string ArchiveOf(const std::vector<FileEntryFields>& entries, const MainHeaderFields& main = MainHeaderFields());

// A file that looks like a Windows executable of `size` bytes (an "MZ"
// header, optionally with the older flavour's "RSFX" tag at offset 28, and
// from 312 bytes on a PE header with an empty data directory), to place an
// archive after: the archive's marker then starts at offset `size`.
std::string FakeExecutable(size_t size, bool rsfx_tag = false);

// `image` (FakeExecutable of 312 bytes or more, with whatever follows it)
// signed as a signing tool would: `padding` zero bytes, then `table` as
// the certificate table that the PE header's security directory names.
std::string SignedImage(std::string image, const std::string& table, size_t padding = 0);
