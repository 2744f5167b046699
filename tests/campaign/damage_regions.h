// Where each byte of a package's archive lies: the marker, the main header,
// a field of a file header, or an entry's packed data. The campaign counts
// its outcomes by these regions.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/archive_catalog.h"

enum Region : uint8_t {
  kRegionMarker,
  kRegionMainHeader,
  // The fields of a file header, in their order in the header.
  kRegionCheck,
  kRegionType,
  kRegionFlags,
  kRegionHeaderSize,
  kRegionPackedSize,
  kRegionUnpackedSize,
  kRegionHost,
  kRegionCrc,
  kRegionTime,
  kRegionVersion,
  kRegionMethod,
  kRegionNameLength,
  kRegionAttributes,
  kRegionName,
  kRegionHeaderRest,  // header bytes after the name
  kRegionPackedData,
  kRegionOther,       // bytes the walk does not read as part of a file entry
  kRegionTruncation,  // no byte lies here: the row of the cuts
  // Whole-file cases of a package's seal: bytes added after the archive
  // (and before a signature), and a bit of the seal record flipped in a
  // package cut where a file header begins.
  kRegionAppended,
  kRegionSealRecord,
  kRegionCount
};

const char* RegionName(Region region);

// True for the regions that are fields of a file header.
bool IsFileHeaderField(Region region);

// The region of every byte of the archive of `archive_size` bytes that the
// catalog of its good file describes.
std::vector<Region> MapRegions(const Catalog& catalog, uint32_t archive_size);

// Offsets, from the archive's start, at which a file header begins: an
// archive cut there holds whole blocks only, and reads like a shorter one.
std::vector<uint32_t> BlockStarts(const Catalog& catalog);
