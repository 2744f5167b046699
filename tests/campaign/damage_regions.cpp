#include "tests/campaign/damage_regions.h"

#include <algorithm>

#include "archive/archive_format.h"

namespace {

struct Field {
  uint32_t offset;  // in the file header
  Region region;
};

// Each field runs up to the next one's offset; the name runs for the stored
// name length.
const Field kFileHeaderFields[] = {
    {0, kRegionCheck},       {2, kRegionType},
    {3, kRegionFlags},       {5, kRegionHeaderSize},
    {7, kRegionPackedSize},  {11, kRegionUnpackedSize},
    {15, kRegionHost},       {16, kRegionCrc},
    {20, kRegionTime},       {24, kRegionVersion},
    {25, kRegionMethod},     {26, kRegionNameLength},
    {28, kRegionAttributes}, {kFileHeaderSize, kRegionName},
};

Region FileHeaderRegion(uint32_t offset, uint32_t name_length) {
  if (offset >= kFileHeaderSize + name_length) return kRegionHeaderRest;
  Region region = kRegionCheck;
  for (const Field& field : kFileHeaderFields) {
    if (field.offset <= offset) region = field.region;
  }
  return region;
}

void Fill(std::vector<Region>* regions, uint64_t from, uint64_t to, Region region) {
  to = std::min<uint64_t>(to, regions->size());
  for (uint64_t i = from; i < to; ++i) (*regions)[i] = region;
}

}  // namespace

const char* RegionName(Region region) {
  static const char* const kNames[kRegionCount] = {
      "marker",      "main header",   "check value",   "type",        "flags",       "header size",
      "packed size", "unpacked size", "host",          "CRC",         "time",        "version",
      "method",      "name length",   "attributes",    "name",        "header rest", "packed data",
      "other bytes", "truncation",    "appended data", "seal record",
  };
  return region < kRegionCount ? kNames[region] : "?";
}

bool IsFileHeaderField(Region region) { return region >= kRegionCheck && region <= kRegionHeaderRest; }

std::vector<Region> MapRegions(const Catalog& catalog, uint32_t archive_size) {
  std::vector<Region> regions(archive_size, kRegionOther);
  Fill(&regions, 0, kMarkerSize, kRegionMarker);
  uint32_t main_size = std::max<uint32_t>(catalog.main_header.size, kMainHeaderSize);
  Fill(&regions, kMarkerSize, kMarkerSize + main_size, kRegionMainHeader);
  for (const CatalogEntry& entry : catalog.entries) {
    uint64_t start = static_cast<uint64_t>(entry.position - catalog.archive_start);
    for (uint32_t i = 0; i < entry.header.size && start + i < archive_size; ++i) {
      regions[start + i] = FileHeaderRegion(i, entry.stored_name_length);
    }
    uint64_t data = start + entry.header.size;
    Fill(&regions, data, data + entry.header.packed_size, kRegionPackedData);
  }
  return regions;
}

std::vector<uint32_t> BlockStarts(const Catalog& catalog) {
  std::vector<uint32_t> starts;
  for (const CatalogEntry& entry : catalog.entries) {
    starts.push_back(static_cast<uint32_t>(entry.position - catalog.archive_start));
  }
  return starts;
}
