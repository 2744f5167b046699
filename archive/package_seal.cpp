#include "archive/package_seal.h"

#include <cstring>

#include "archive/archive_format.h"
#include "archive/checksum.h"
#include "archive/extract_context.h"
#include "archive/memory_buffer.h"
#include "archive/signed_image.h"
#include "common/file_system.h"

namespace {

// How much of the sealed bytes is read between two reports to a
// PassProgress: as often as the pass reports while it unpacks.
constexpr uint32_t kSealReportStep = 1 << 20;

// The CRC-32 of the next `length` bytes of `file` into `*value`, reported
// to `progress` (if any) on the way.
bool SealedCrc(FILE* file, const Crc32Table& crc, uint32_t length, PassProgress* progress, uint32_t* value) {
  for (uint32_t done = 0; done < length;) {
    if (progress != nullptr) progress->report(progress->user, done, length);
    uint32_t step = length - done < kSealReportStep ? length - done : kSealReportStep;
    if (!Crc32OfFile(file, crc, value, step)) return false;
    done += step;
  }
  return true;
}

// Measures the sealed archive: exactly seal.length bytes from the marker,
// none past the archive's end, and what lies after them. The stream
// position afterwards is not defined.
int MeasureSealed(FILE* file, const Crc32Table& crc, const ArchiveLocation& where, SealFindings* found,
                  PassProgress* progress) {
  const PackageSeal& seal = found->seal;
  // Both ends are offsets of one file below 2 GiB, the end after the start.
  uint32_t room = static_cast<uint32_t>(where.archive_end - where.archive_start);
  if (room < seal.length) {
    found->measured.length = room;
    return kSealShort;
  }
  uint32_t value = 0xFFFFFFFF;
  if (fseek(file, where.archive_start, SEEK_SET) != 0 || !SealedCrc(file, crc, seal.length, progress, &value)) {
    return kSealNoArchive;
  }
  found->measured = {seal.length, ~value};
  if (found->measured.crc != seal.crc) return kSealMismatch;
  found->after = room - seal.length;
  // The stream stands at the sealed end, where a signing tool's alignment
  // would begin.
  if (found->after != 0 && !(where.certificate_size != 0 && IsCertificateAlignment(file, found->after))) {
    return kSealDataAfter;
  }
  return kSealHolds;
}

int CheckOpenPackage(FILE* file, Crc32Table* crc, SealFindings* found, PassProgress* progress) {
  BuildCrc32Table(crc);
  ArchiveLocation where;
  if (!FindArchive(file, *crc, &where)) return kSealNoArchive;
  found->archive_start = where.archive_start;
  // A file that starts with its archive has no program, and so no record.
  if (static_cast<uint32_t>(where.archive_start) < kSealRecordOffset + kSealRecordSize) return kSealNotSealed;
  uint8_t bytes[kSealRecordSize];
  if (fseek(file, kSealRecordOffset, SEEK_SET) != 0 || fread(bytes, 1, sizeof bytes, file) != sizeof bytes) {
    return kSealNoArchive;
  }
  SealRecord record = DecodeSealRecord(*crc, bytes);
  found->record = record.kind;
  found->seal = record.seal;
  switch (record.kind) {
    case kRecordSealed:
      return MeasureSealed(file, *crc, where, found, progress);
    case kRecordBuilding:
      return kSealBuilding;
    case kRecordDamaged:
      return kSealBadRecord;
    default:
      return kSealNotSealed;
  }
}

}  // namespace

uint32_t SealRecordCheck(const Crc32Table& crc, const uint8_t* bytes) {
  return ~Crc32Update(crc, 0xFFFFFFFF, bytes, kSealCheckedBytes);
}

SealRecord DecodeSealRecord(const Crc32Table& crc, const uint8_t* bytes) {
  SealRecord record = {kRecordNone, {0, 0}};
  bool zero = true;
  for (uint32_t i = 0; i < kSealRecordSize; ++i) zero = zero && bytes[i] == 0;
  if (zero) return record;
  if (SealRecordCheck(crc, bytes) != ReadLe32(bytes + kSealCheckedBytes)) {
    record.kind = kRecordDamaged;
    return record;
  }
  uint8_t state = bytes[5];
  bool ours = memcmp(bytes, kSealRecordStart, sizeof kSealRecordStart) == 0 && bytes[6] == 0 && bytes[7] == 0 &&
              (state == kRecordBuilding || state == kRecordSealed);
  if (!ours) {
    record.kind = kRecordOtherLayout;
    return record;
  }
  record.kind = state;
  if (state == kRecordSealed) record.seal = {ReadLe32(bytes + 8), ReadLe32(bytes + 12)};
  return record;
}

int CheckPackageSeal(const char* path, SealFindings* findings, PassProgress* progress) {
  SealFindings found;
  memset(&found, 0, sizeof found);
  int result = kSealNoArchive;
  FILE* file = FsOpenShared(path);
  Crc32Table* crc = static_cast<Crc32Table*>(ZeroAlloc(sizeof(Crc32Table)));
  if (file != nullptr && crc != nullptr) result = CheckOpenPackage(file, crc, &found, progress);
  FreeAndNull(crc);
  if (file != nullptr) fclose(file);
  if (findings != nullptr) *findings = found;
  return result;
}
