#include "tools/seal_record.h"

#include <fstream>

#include "archive/archive_format.h"
#include "tools/archive_writer.h"
#include "tools/shown_crc.h"

namespace {

// A cut between two blocks reads as a shorter archive: only a seal shows it.
const char kUnsealedRisk[] = "; a cut between two of its blocks would not show";

}  // namespace

int StubSealRoom(const std::string& stub) {
  if (stub.size() < kSealRecordOffset + kSealRecordSize) return kStubNoRoom;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(stub.data()) + kSealRecordOffset;
  switch (DecodeSealRecord(WriterCrc32Table(), bytes).kind) {
    case kRecordOtherLayout:
      return kStubOtherLayout;
    case kRecordDamaged:
      return kStubBadRecord;
    default:
      return kStubSealable;
  }
}

std::string SealRecordBytes(uint32_t kind, const PackageSeal& seal) {
  std::string record(reinterpret_cast<const char*>(kSealRecordStart), sizeof kSealRecordStart);
  record += static_cast<char>(kind);
  PutLe16(record, 0);
  // Only a sealed record tells a length and CRC-32.
  PutLe32(record, kind == kRecordSealed ? seal.length : 0);
  PutLe32(record, kind == kRecordSealed ? seal.crc : 0);
  PutLe32(record, SealRecordCheck(WriterCrc32Table(), reinterpret_cast<const uint8_t*>(record.data())));
  return record;
}

std::string StubForBuild(std::string stub) {
  if (StubSealRoom(stub) == kStubSealable) {
    stub.replace(kSealRecordOffset, kSealRecordSize, SealRecordBytes(kRecordBuilding));
  }
  return stub;
}

std::string SealPackage(const std::string& path, uint64_t archive_offset, uint64_t archive_size) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekg(static_cast<std::streamoff>(archive_offset));
  uint32_t crc = 0xFFFFFFFF;
  uint64_t read = 0;
  char chunk[1 << 16];
  while (file && read < archive_size) {
    file.read(chunk, sizeof chunk);
    size_t got = static_cast<size_t>(file.gcount());
    crc = Crc32Update(WriterCrc32Table(), crc, reinterpret_cast<const uint8_t*>(chunk), got);
    read += got;
  }
  if (read != archive_size || archive_size > kLastPosition) return "the archive cannot be read back to seal it";
  file.clear();
  std::string record = SealRecordBytes(kRecordSealed, {static_cast<uint32_t>(archive_size), ~crc});
  file.seekp(kSealRecordOffset);
  file.write(record.data(), static_cast<std::streamsize>(record.size()));
  file.close();
  if (!file) return "the seal cannot be written";
  if (CheckPackageSeal(path.c_str()) != kSealHolds) return "the seal does not read back";
  return "";
}

SealReport CheckFileSeal(const std::string& path) {
  SealReport report;
  report.check = CheckPackageSeal(path.c_str(), &report.findings);
  const SealFindings& found = report.findings;
  switch (report.check) {
    case kSealHolds:
      report.text =
          "sealed: " + std::to_string(found.seal.length) + " archive bytes, CRC-32 " + ShownCrc(found.seal.crc);
      break;
    case kSealNotSealed:
      if (static_cast<uint32_t>(found.archive_start) < kSealRecordOffset + kSealRecordSize) {
        report.text = std::string("not sealed: a bare archive") + kUnsealedRisk;
      } else {
        report.text = std::string(
                          "not sealed: unsealed stub (its header holds no seal record that this "
                          "mksetup reads)") +
                      kUnsealedRisk;
      }
      break;
    case kSealShort:
      report.text = path + " is damaged: it holds " + std::to_string(found.measured.length) + " of the " +
                    std::to_string(found.seal.length) + " archive bytes it was sealed with (cut short)";
      break;
    case kSealMismatch:
      report.text = path + " is damaged: its archive's CRC-32 is " + ShownCrc(found.measured.crc) + ", sealed as " +
                    ShownCrc(found.seal.crc);
      break;
    case kSealDataAfter:
      report.text = path + " is damaged: data after the sealed archive (" + std::to_string(found.after) +
                    " bytes from offset " + std::to_string(report.SealedEnd()) + ")";
      break;
    case kSealBuilding:
      report.text = path + " is not an installer: the build that wrote it did not finish";
      break;
    case kSealBadRecord:
      report.text = path + " is damaged: its seal record does not match its own check value";
      break;
    default:
      break;  // no archive: the pass says so
  }
  return report;
}
