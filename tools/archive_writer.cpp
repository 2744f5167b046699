#include "tools/archive_writer.h"

#include "archive/checksum.h"

void PutLe16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void PutLe32(std::string& out, uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

namespace {

// The header check: low 16 bits of the CRC-32 of the header's first
// `covered` bytes (all of them by default) from its block type on, stored
// in the header's first two bytes.
void SetHeaderCheck(std::string& header, bool bad, size_t covered = std::string::npos) {
  uint16_t check = static_cast<uint16_t>(Crc32Of(header.substr(2, covered - 2)));
  if (bad) check = static_cast<uint16_t>(check ^ 0x5A5A);
  header[0] = static_cast<char>(check & 0xFF);
  header[1] = static_cast<char>(check >> 8);
}

}  // namespace

const Crc32Table& WriterCrc32Table() {
  static const Crc32Table table = [] {
    Crc32Table built;
    BuildCrc32Table(&built);
    return built;
  }();
  return table;
}

uint32_t Crc32Of(const std::string& bytes) {
  return ~Crc32Update(WriterCrc32Table(), 0xFFFFFFFF, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

uint16_t Sum16Of(const std::string& bytes) {
  return Sum16Update(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

uint32_t DosTimeStamp(int year, int month, int day, int hour, int minute, int second) {
  uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day);
  uint32_t time = static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2);
  return date << 16 | time;
}

void ArchiveWriter::AddMainHeader(const MainHeaderFields& fields) { bytes_ += MainHeaderBytes(fields); }

std::string ArchiveWriter::MainHeaderBytes(const MainHeaderFields& fields) const {
  std::string marker;
  std::string header;
  if (flavour_ == kFlavourOld) {
    // The older main header begins with its own marker in place of the
    // check value, block type and first flag byte.
    header = "RE~^";
    header += static_cast<char>(fields.flags >> 8);
  } else {
    marker = std::string("Rar!\x1A\x07\x00", kMarkerSize);
    header = std::string(2, '\0');
    header += static_cast<char>(fields.type);
    PutLe16(header, fields.flags);
  }
  PutLe16(header, fields.size ? *fields.size : kMainHeaderSize + fields.extra.size());
  header += std::string(6, '\0');  // reserved
  if (fields.check_covers_extra) header += fields.extra;
  if (flavour_ == kFlavourRar) SetHeaderCheck(header, fields.bad_check);
  return marker + header + (fields.check_covers_extra ? "" : fields.extra);
}

void ArchiveWriter::AddFile(const FileEntryFields& fields) { bytes_ += FileHeaderBytes(fields) + fields.data; }

std::string ArchiveWriter::FileHeaderBytes(const FileEntryFields& fields) const {
  uint16_t name_length = fields.name_length ? *fields.name_length : static_cast<uint16_t>(fields.name.size());
  uint32_t check = flavour_ == kFlavourOld ? Sum16Of(fields.data) : Crc32Of(fields.data);
  std::string header(2, '\0');
  header += static_cast<char>(kFileHeaderType);
  PutLe16(header, fields.flags);
  PutLe16(header,
          fields.header_size ? *fields.header_size : kFileHeaderSize + fields.name.size() + fields.header_extra.size());
  PutLe32(header, fields.packed_size ? *fields.packed_size : static_cast<uint32_t>(fields.data.size()));
  PutLe32(header, fields.unpacked_size ? *fields.unpacked_size : static_cast<uint32_t>(fields.data.size()));
  header += static_cast<char>(fields.host_system);
  PutLe32(header, fields.data_crc ? *fields.data_crc : check);
  PutLe32(header, fields.time_stamp);
  header += static_cast<char>(fields.unpack_version);
  header += static_cast<char>(fields.method);
  PutLe16(header, name_length);
  PutLe32(header, fields.attributes);
  header += fields.name + fields.header_extra;
  size_t covered = fields.check_skips_extra ? header.size() - fields.header_extra.size() : std::string::npos;
  if (flavour_ == kFlavourRar) SetHeaderCheck(header, fields.bad_header_check, covered);
  return header;
}

void ArchiveWriter::AddBlock(uint8_t type, uint16_t flags, const std::string& header_tail, const std::string& data) {
  bool long_block = (flags & kFlagLongBlock) != 0;
  std::string header(2, '\0');
  header += static_cast<char>(type);
  PutLe16(header, flags);
  PutLe16(header, kBlockHeaderSize + (long_block ? 4 : 0) + header_tail.size());
  if (long_block) PutLe32(header, static_cast<uint32_t>(data.size()));
  header += header_tail;
  SetHeaderCheck(header, false);
  bytes_ += header + data;
}

FileEntryFields StoredEntry(const std::string& name, const std::string& data) {
  FileEntryFields entry;
  entry.name = name;
  entry.data = data;
  return entry;
}

std::string ArchiveOf(const std::vector<FileEntryFields>& entries, const MainHeaderFields& main) {
  ArchiveWriter writer;
  writer.AddMainHeader(main);
  for (const FileEntryFields& entry : entries) writer.AddFile(entry);
  return writer.bytes();
}

namespace {

// The PE header of FakeExecutable: at 0x40, the signature and a COFF header
// announcing a 224-byte PE32 optional header with 16 directory entries; the
// security entry, the fifth, lies at kSecurityEntry.
constexpr size_t kPeHeader = 0x40;
constexpr size_t kOptionalHeader = kPeHeader + 4 + 20;
constexpr size_t kPeHeaderEnd = kOptionalHeader + 224;
constexpr size_t kSecurityEntry = kOptionalHeader + 96 + 4 * 8;

}  // namespace

std::string FakeExecutable(size_t size, bool rsfx_tag) {
  std::string image(size, '\0');
  for (size_t i = 64; i < size; ++i) image[i] = static_cast<char>(((i * 37) & 0x7F) | 0x01);
  if (size >= 2) image.replace(0, 2, "MZ");
  if (rsfx_tag && size >= 32) image.replace(28, 4, "RSFX");
  if (size >= kPeHeaderEnd) {
    std::string pe_offset;
    PutLe32(pe_offset, kPeHeader);
    image.replace(0x3C, 4, pe_offset);
    std::string header("PE\0\0", 4);
    PutLe16(header, 0x14C);           // i386
    header += std::string(14, '\0');  // sections, time stamp, symbols
    PutLe16(header, kPeHeaderEnd - kOptionalHeader);
    PutLe16(header, 0x0102);  // an executable image for 32-bit machines
    PutLe16(header, 0x10B);   // PE32
    header += std::string(90, '\0');
    PutLe32(header, 16);
    header += std::string(16 * 8, '\0');
    image.replace(kPeHeader, header.size(), header);
  }
  return image;
}

std::string SignedImage(std::string image, const std::string& table, size_t padding) {
  image.append(padding, '\0');
  std::string entry;
  PutLe32(entry, static_cast<uint32_t>(image.size()));
  PutLe32(entry, static_cast<uint32_t>(table.size()));
  image.replace(kSecurityEntry, entry.size(), entry);
  return image + table;
}
