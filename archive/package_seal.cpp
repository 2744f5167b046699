#include "archive/package_seal.h"

#include "archive/archive_format.h"
#include "archive/extract_context.h"
#include "common/file_system.h"

PackageSeal ReadSealRecord(const uint8_t* record) {
  return {ReadLe32(record + kSealTagSize), ReadLe32(record + kSealTagSize + 4)};
}

bool MeasureArchive(const char* path, uint32_t length, PackageSeal* measured) {
  measured->length = 0;
  measured->crc = 0;
  // The context brings the archive search, the CRC table and a read buffer.
  ExtractContext* context = static_cast<ExtractContext*>(ZeroAlloc(sizeof(ExtractContext)));
  if (context == nullptr) return false;
  bool found = false;
  context->archive_file = FsOpenShared(path);
  if (context->archive_file != nullptr) {
    BuildCrc32Table(&context->crc32_table);
    found = LocateArchive(context) && fseek(context->archive_file, context->archive_start, SEEK_SET) == 0;
    uint32_t crc = 0xFFFFFFFF;
    uint32_t read = 0;
    while (found && read < length) {
      uint32_t want = length - read < kInputBufferSize ? length - read : kInputBufferSize;
      size_t got = fread(context->decoder.input.in_buf, 1, want, context->archive_file);
      if (got == 0) break;
      crc = Crc32Update(context->crc32_table, crc, context->decoder.input.in_buf, got);
      read += static_cast<uint32_t>(got);
    }
    measured->length = read;
    measured->crc = ~crc;
    fclose(context->archive_file);
  }
  FreeAndNull(context);
  return found;
}

int CheckPackageSeal(const char* path, const PackageSeal& seal, PackageSeal* found) {
  PackageSeal measured = {0, 0};
  int result = kSealHolds;
  if (IsSealed(seal)) {
    if (!MeasureArchive(path, seal.length, &measured)) {
      result = kSealNoArchive;
    } else if (measured.length < seal.length) {
      result = kSealShort;
    } else if (measured.crc != seal.crc) {
      result = kSealMismatch;
    }
  }
  if (found != nullptr) *found = measured;
  return result;
}
