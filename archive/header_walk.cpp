#include <cstring>

#include "archive/archive_format.h"
#include "archive/extract_context.h"
#include "archive/signed_image.h"

namespace {

constexpr uint32_t kMaxNameLength = kNameSize - 1;      // longer stored names are cut
constexpr uint32_t kAddSizeEnd = kBlockHeaderSize + 4;  // a long block's add size ends here

// The block types the format has: marker, main header, file header,
// comment, extra information, sub-blocks, recovery, signature, end.
constexpr uint8_t kFirstBlockType = 0x72;
constexpr uint8_t kLastBlockType = 0x7B;

void DecodeFileHeader(const uint8_t* raw, FileHeader* header) {
  DecodeBlockStart(raw, header);
  header->packed_size = ReadLe32(raw + 7);
  header->unpacked_size = ReadLe32(raw + 11);
  header->host_system = raw[15];
  header->data_crc = ReadLe32(raw + 16);
  header->time_stamp = ReadLe32(raw + 20);
  header->unpack_version = raw[24];
  header->method = raw[25];
  header->name_length = ReadLe16(raw + 26);
  header->attributes = ReadLe32(raw + 28);
}

// Writers compute a file header's check value either over the whole header
// as stored or over its fixed part and name, leaving out what follows the
// name. True when the stored value matches either. `fixed` is the 32-byte
// fixed part of a header of `size` bytes; the stream stands after it and
// after the first `read` name bytes, which `name` holds. The rest of the
// header is read here.
bool HeaderCheckMatches(ExtractContext* context, const uint8_t* fixed, uint32_t size, const char* name, uint32_t read) {
  uint32_t rest = size - kFileHeaderSize;
  uint32_t name_length = ReadLe16(fixed + 26);
  bool name_inside = name_length <= rest;  // else only the whole-header form can match
  uint32_t name_left = name_inside ? name_length - read : 0;
  uint32_t crc = Crc32Update(context->crc32_table, 0xFFFFFFFF, fixed + 2, kFileHeaderSize - 2);
  crc = Crc32Update(context->crc32_table, crc, reinterpret_cast<const uint8_t*>(name), read);
  if (!Crc32OfStream(context, &crc, name_left)) return false;
  uint32_t with_name = crc;
  if (!Crc32OfStream(context, &crc, rest - read - name_left)) return false;
  uint16_t check = ReadLe16(fixed);
  return (name_inside && static_cast<uint16_t>(~with_name) == check) || static_cast<uint16_t>(~crc) == check;
}

// A block that is no file header, in an archive with header checks: its
// type must be one the format has, and it must not be a file header whose
// type byte was damaged, which would make the entry vanish unnoticed.
bool OtherBlockLooksSound(ExtractContext* context, const uint8_t* raw, uint32_t size) {
  if (raw[2] < kFirstBlockType || raw[2] > kLastBlockType) return false;
  if (size < kFileHeaderSize) return true;  // too small to have been a file header
  uint8_t as_file[kFileHeaderSize];
  memcpy(as_file, raw, kFileHeaderSize);
  as_file[2] = kFileHeaderType;
  return !HeaderCheckMatches(context, as_file, size, nullptr, 0);
}

// The bytes between the archive and the certificate table of a signed
// file belong to no block when they are the signing tool's alignment. The
// stream is back at `position` afterwards.
bool OnlyAlignmentLeft(ExtractContext* context, long position, int64_t left) {
  if (context->certificate_size == 0) return false;
  bool alignment = IsCertificateAlignment(context->archive_file, left);
  fseek(context->archive_file, position, SEEK_SET);
  return alignment;
}

uint32_t EndWalk(ExtractContext* context, WalkEnd why) {
  context->walk_end = why;
  return 0;
}

}  // namespace

bool Crc32OfStream(ExtractContext* context, uint32_t* crc, uint32_t count) {
  return Crc32OfFile(context->archive_file, context->crc32_table, crc, count);
}

uint32_t ReplacedAttributes(uint16_t flags) {
  return (flags & kFlagDictionaryBits) == kFlagDictionaryBits ? kAttributeDirectory : kAttributeArchive;
}

void SkipMainHeaderRest(ExtractContext* context) {
  uint16_t size = context->main_header.size;
  if (size > kMainHeaderSize) fseek(context->archive_file, size - kMainHeaderSize, SEEK_CUR);
}

void NormaliseHostAttributes(FileHeader* header) {
  if (header->host_system == 3) header->attributes = ReplacedAttributes(header->flags);
}

uint32_t ReadNextEntry(ExtractContext* context) {
  FILE* file = context->archive_file;
  for (;;) {
    long position = ftell(file);
    if (position < 0 || position > kLastPosition) return EndWalk(context, kWalkNoAdvance);
    context->block_pos = static_cast<int32_t>(position);
    // A good archive ends exactly at its end: the end of the file or the
    // start of the certificate table of a signed one.
    int64_t left = static_cast<int64_t>(context->archive_end) - position;
    if (left < 0) return EndWalk(context, kWalkCutData);
    if (left == 0 || OnlyAlignmentLeft(context, position, left)) return EndWalk(context, kWalkEndOfFile);

    // Every block is read as if it were a file header; only the common
    // 7 bytes (and the add size, with flag 0x8000) mean anything for others.
    // Nothing past the archive's end is read.
    uint8_t raw[kFileHeaderSize] = {};
    size_t want = left < kFileHeaderSize ? static_cast<size_t>(left) : kFileHeaderSize;
    size_t got = fread(raw, 1, want, file);
    if (got < kBlockHeaderSize) return EndWalk(context, kWalkCutHeader);
    FileHeader& header = context->file_header;
    DecodeFileHeader(raw, &header);
    bool long_block = (header.flags & kFlagLongBlock) != 0;
    bool file_header = header.type == kFileHeaderType;
    // A header holds its add size, and a file header its fixed part and
    // its name.
    if (header.size < kBlockHeaderSize || (long_block && header.size < kAddSizeEnd) ||
        (file_header && header.size < kFileHeaderSize + header.name_length)) {
      return EndWalk(context, kWalkBadSize);
    }
    if (header.size > left || got < want) return EndWalk(context, kWalkCutHeader);
    // Without an add size a file header does not say where its data lies:
    // reading it anyway would take header bytes for data, so the walk ends.
    if (file_header && !long_block) return EndWalk(context, kWalkNoDataSize);
    int64_t next = static_cast<int64_t>(position) + header.size;
    if (long_block) next += ReadLe32(raw + kBlockHeaderSize);
    // Positions only grow, so the walk always ends; a block that reaches
    // past what a signed 32-bit position can hold ends it too.
    if (next <= position || next > kLastPosition) return EndWalk(context, kWalkNoAdvance);
    if (next > context->archive_end) return EndWalk(context, kWalkCutData);
    context->next_block_pos = static_cast<int32_t>(next);
    bool checked = context->archive_flavour == kFlavourRar;  // the older flavour has no header check
    if (!file_header) {
      if (checked && !OtherBlockLooksSound(context, raw, header.size)) {
        return EndWalk(context, kWalkBadCheck);
      }
      if (fseek(file, static_cast<long>(next), SEEK_SET) != 0) return EndWalk(context, kWalkNoAdvance);
      continue;
    }

    uint32_t kept = header.name_length < kMaxNameLength ? header.name_length : kMaxNameLength;
    if (fread(context->entry_name, 1, kept, file) != kept) return EndWalk(context, kWalkCutHeader);
    context->entry_name[kept] = '\0';
    // The check covers the whole stored name, not only the kept part.
    if (checked && !HeaderCheckMatches(context, raw, header.size, context->entry_name, kept)) {
      return EndWalk(context, kWalkBadCheck);
    }
    header.name_length = static_cast<uint16_t>(kept);
    if (header.host_system > 3) {
      header.host_system = 0;
      header.attributes = ReplacedAttributes(header.flags);
    }
    for (uint32_t i = 0; i < kept; ++i) {
      if (context->entry_name[i] == '/') context->entry_name[i] = '\\';
    }
    return kFileHeaderSize + kept;
  }
}
