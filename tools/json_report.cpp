#include "tools/json_report.h"

#include <cstdio>

#include "archive/archive_format.h"
#include "tools/shown_crc.h"

namespace {

// The MS-DOS time stamp as local "YYYY-MM-DDThh:mm:ss", which is what the
// installer gives the file; it carries no time zone.
std::string JsonTime(uint32_t stamp) {
  uint32_t date = stamp >> 16, time = stamp & 0xFFFF;
  char text[24];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", (date >> 9) + 1980, (date >> 5) & 0x0F, date & 0x1F,
                time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2);
  return JsonString(text);
}

}  // namespace

JsonObject EntryJson(const CatalogEntry& entry) {
  const FileHeader& h = entry.header;
  // Methods '0' (stored) to '5' (best) are the levels they were packed at.
  bool level = h.method >= kMethodStored && h.method <= kMethodStored + 5;
  JsonObject object;
  object.Add("name", JsonNameFromWindows1252(entry.name))
      .Add("size", JsonNumber(h.unpacked_size))
      .Add("packed", JsonNumber(h.packed_size))
      .Add("method", JsonNumber(h.method))
      .Add("level", level ? JsonNumber(h.method - kMethodStored) : kJsonNull)
      .Add("version", JsonNumber(h.unpack_version))
      .Add("flags", JsonNumber(h.flags))
      .Add("crc", JsonString(ShownCrc(h.data_crc)))
      .Add("time", JsonTime(h.time_stamp))
      .Add("attributes", JsonNumber(h.attributes))
      .Add("folder", JsonBool(entry.IsDirectory()));
  if (entry.NameWasCut()) object.Add("name_cut_from", JsonNumber(entry.stored_name_length));
  return object;
}

std::string SealJson(const SealReport& seal) {
  if (seal.check == kSealNotSealed || seal.check == kSealNoArchive) return kJsonNull;
  const char* check = seal.check == kSealHolds       ? "holds"
                      : seal.check == kSealShort     ? "cut short"
                      : seal.check == kSealMismatch  ? "CRC mismatch"
                      : seal.check == kSealDataAfter ? "data after the sealed archive"
                      : seal.check == kSealBuilding  ? "build not finished"
                                                     : "damaged record";
  return JsonObject()
      .Add("length", JsonNumber(seal.findings.seal.length))
      .Add("crc", JsonString(ShownCrc(seal.findings.seal.crc)))
      .Add("check", JsonString(check))
      .Add("text", JsonString(seal.text))
      .Text();
}

std::string SignatureJson(const Catalog& catalog) {
  if (catalog.certificate_size == 0) return kJsonNull;
  return JsonObject()
      .Add("offset", JsonNumber(static_cast<uint64_t>(catalog.archive_end)))
      .Add("size", JsonNumber(catalog.certificate_size))
      .Text();
}
