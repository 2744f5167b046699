#include "archive/signed_image.h"

#include "archive/archive_format.h"

namespace {

constexpr uint32_t kNewHeaderField = 0x3C;   // the MS-DOS header's pointer to the PE header
constexpr uint32_t kCoffSize = 20;           // after the 4-byte "PE\0\0"
constexpr uint32_t kOptionalSizeField = 16;  // in the COFF header
constexpr uint16_t kPe32 = 0x10B;
constexpr uint16_t kPe32Plus = 0x20B;
// Where the directory's entry count stands in the optional header; the
// entries follow it, 8 bytes each.
constexpr uint32_t kPe32CountField = 92;
constexpr uint32_t kPe32PlusCountField = 108;
constexpr uint32_t kSecurityEntry = 4;
constexpr uint32_t kDirectoryPart = 4 + (kSecurityEntry + 1) * 8;  // count and entries 0 to 4

bool ReadAt(FILE* file, int64_t offset, uint8_t* bytes, size_t count) {
  return offset >= 0 && offset <= kLastPosition && fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
         fread(bytes, 1, count, file) == count;
}

}  // namespace

bool FindCertificateTable(FILE* file, int64_t file_size, CertificateTable* table) {
  uint8_t dos[kNewHeaderField + 4];
  if (!ReadAt(file, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  int64_t pe = ReadLe32(dos + kNewHeaderField);
  uint8_t head[4 + kCoffSize + 2];  // signature, COFF header, optional header magic
  if (!ReadAt(file, pe, head, sizeof head) || head[0] != 'P' || head[1] != 'E' || head[2] != 0 || head[3] != 0) {
    return false;
  }
  uint32_t optional_size = ReadLe16(head + 4 + kOptionalSizeField);
  uint16_t magic = ReadLe16(head + 4 + kCoffSize);
  uint32_t count_field = magic == kPe32 ? kPe32CountField : magic == kPe32Plus ? kPe32PlusCountField : 0;
  if (count_field == 0 || optional_size < count_field + kDirectoryPart) return false;
  uint8_t directory[kDirectoryPart];
  if (!ReadAt(file, pe + 4 + kCoffSize + count_field, directory, sizeof directory) ||
      ReadLe32(directory) <= kSecurityEntry) {
    return false;
  }
  const uint8_t* entry = directory + 4 + kSecurityEntry * 8;
  int64_t offset = ReadLe32(entry);
  uint32_t size = ReadLe32(entry + 4);
  if (size == 0 || offset == 0 || offset > kLastPosition || offset + size != file_size) return false;
  table->offset = static_cast<int32_t>(offset);
  table->size = size;
  return true;
}

bool IsCertificateAlignment(FILE* file, int64_t count) {
  if (count <= 0 || count >= 8) return false;
  uint8_t bytes[8] = {};
  size_t length = static_cast<size_t>(count);
  if (fread(bytes, 1, length, file) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}
