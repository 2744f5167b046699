#include "tools/seal_record.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

std::string Hex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace

std::vector<size_t> FindSealRecords(const std::string& image) {
  std::vector<size_t> found;
  const std::string tag(std::begin(kSealTag), std::end(kSealTag));
  for (size_t at = image.find(tag); at != std::string::npos; at = image.find(tag, at + 1)) {
    if (at + kSealRecordSize <= image.size()) found.push_back(at);
  }
  return found;
}

std::string SealPackage(const std::string& path, uint64_t record_offset, uint64_t archive_size) {
  PackageSeal seal;
  if (!MeasureArchive(path.c_str(), static_cast<uint32_t>(archive_size), &seal) ||
      seal.length != archive_size) {
    return "the archive cannot be read back to seal it";
  }
  uint8_t fields[8];
  for (int i = 0; i < 4; ++i) {
    fields[i] = static_cast<uint8_t>(seal.length >> (8 * i));
    fields[4 + i] = static_cast<uint8_t>(seal.crc >> (8 * i));
  }
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(static_cast<std::streamoff>(record_offset + kSealTagSize));
  file.write(reinterpret_cast<const char*>(fields), sizeof fields);
  file.close();
  if (!file) return "the seal cannot be written";
  if (CheckPackageSeal(path.c_str(), seal) != kSealHolds) return "the seal does not read back";
  return "";
}

SealReport CheckFileSeal(const std::string& path, const Catalog& catalog) {
  SealReport report;
  if (!catalog.found || catalog.archive_start <= 0) return report;
  std::ifstream file(path, std::ios::binary);
  std::string head(static_cast<size_t>(catalog.archive_start), '\0');
  file.read(&head[0], static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(file.gcount()));
  std::vector<size_t> records = FindSealRecords(head);
  // Several tags leave it open which one the program reads.
  if (records.size() != 1) return report;
  PackageSeal seal = ReadSealRecord(reinterpret_cast<const uint8_t*>(head.data()) + records[0]);
  if (!IsSealed(seal)) return report;
  report.sealed = true;
  report.seal = seal;
  PackageSeal found;
  report.check = CheckPackageSeal(path.c_str(), seal, &found);
  switch (report.check) {
    case kSealHolds:
      report.text = "sealed: " + std::to_string(seal.length) + " archive bytes, CRC-32 " + Hex(seal.crc);
      break;
    case kSealShort:
      report.text = path + " is damaged: it holds " + std::to_string(found.length) + " of the " +
                    std::to_string(seal.length) + " archive bytes it was sealed with (cut short)";
      break;
    case kSealMismatch:
      report.text = path + " is damaged: its archive's CRC-32 is " + Hex(found.crc) + ", sealed as " +
                    Hex(seal.crc);
      break;
    default:
      report.text = path + ": its seal cannot be checked";
      break;
  }
  return report;
}
