#include <cstring>

#include "archive/archive_format.h"
#include "archive/extract_context.h"

namespace {

constexpr uint32_t kMaxNameLength = kNameSize - 1;  // longer stored names are cut
constexpr int64_t kLastPosition = 0x7FFFFFFF;     // positions are signed 32-bit

void DecodeFileHeader(const uint8_t* raw, FileHeader* header) {
  header->check = ReadLe16(raw);
  header->type = raw[2];
  header->flags = ReadLe16(raw + 3);
  header->size = ReadLe16(raw + 5);
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

}  // namespace

uint32_t ReplacedAttributes(uint16_t flags) {
  return (flags & kFlagDictionaryBits) == kFlagDictionaryBits ? kAttributeDirectory
                                                               : kAttributeArchive;
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
  context->file_header_bad = 0;
  for (;;) {
    long position = ftell(file);
    if (position < 0 || position > kLastPosition) {
      context->walk_end = kWalkNoAdvance;
      return 0;
    }
    context->block_pos = static_cast<int32_t>(position);

    // Every block is read as if it were a file header; only the common
    // 7 bytes (and the add size, with flag 0x8000) mean anything for others.
    uint8_t raw[kFileHeaderSize];
    size_t got = fread(raw, 1, kFileHeaderSize, file);
    if (got == 0) {
      context->walk_end = kWalkEndOfFile;
      return 0;
    }
    if (got < kBlockHeaderSize) {
      context->walk_end = kWalkCutHeader;
      return 0;
    }
    FileHeader& header = context->file_header;
    memset(raw + got, 0, kFileHeaderSize - got);
    DecodeFileHeader(raw, &header);
    if (header.size < kBlockHeaderSize) {
      context->walk_end = kWalkBadSize;
      return 0;
    }
    bool long_block = (header.flags & kFlagLongBlock) != 0;
    // A file header needs its whole fixed part, and any block its add size.
    if ((header.type == kFileHeaderType && got < kFileHeaderSize) ||
        (long_block && got < kBlockHeaderSize + 4)) {
      context->walk_end = kWalkCutHeader;
      return 0;
    }
    // Without an add size a file header does not say where its data lies:
    // reading it anyway would take header bytes for data, so the walk ends.
    if (header.type == kFileHeaderType && !long_block) {
      context->walk_end = kWalkNoDataSize;
      return 0;
    }
    int64_t next = static_cast<int64_t>(position) + header.size;
    if (long_block) next += ReadLe32(raw + kBlockHeaderSize);
    // Positions only grow, so the walk always ends; a block that reaches
    // past what a signed 32-bit position can hold ends it too.
    if (next <= position || next > kLastPosition) {
      context->walk_end = kWalkNoAdvance;
      return 0;
    }
    context->next_block_pos = static_cast<int32_t>(next);
    if (header.type != kFileHeaderType) {
      if (fseek(file, static_cast<long>(next), SEEK_SET) != 0) {
        context->walk_end = kWalkNoAdvance;
        return 0;
      }
      continue;
    }

    uint32_t kept = header.name_length < kMaxNameLength ? header.name_length : kMaxNameLength;
    kept = static_cast<uint32_t>(fread(context->entry_name, 1, kept, file));
    context->entry_name[kept] = '\0';
    header.name_length = static_cast<uint16_t>(kept);
    // The header check covers the fixed part from the block type on and the
    // kept name; the older flavour has none. The outcome is only recorded.
    if (context->archive_flavour == kFlavourRar) {
      uint32_t crc = Crc32Update(context->crc32_table, 0xFFFFFFFF, raw + 2, kFileHeaderSize - 2);
      crc = Crc32Update(context->crc32_table, crc,
                        reinterpret_cast<const uint8_t*>(context->entry_name), kept);
      context->header_crc = crc;
      context->file_header_bad = static_cast<uint16_t>(~crc) != header.check;
    }
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
