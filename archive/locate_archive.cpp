#include <cstring>

#include "archive/archive_format.h"
#include "archive/extract_context.h"
#include "archive/signed_image.h"

namespace {

const uint8_t kMarker[kMarkerSize] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};  // "Rar!"
const uint8_t kOldMarkerTail[3] = {'E', '~', '^'};                                // "RE~^"
const uint8_t kOldFlavourTag[4] = {'R', 'S', 'F', 'X'};
constexpr uint32_t kOldFlavourTagOffset = 28;  // in the executable's own header area

// True when the main header's check value matches the CRC-32 of its fixed
// part from the block type on, or of the whole header as stored (with a
// comment, say): writers use either. The stream stands after the fixed
// part, whose bytes are `raw`, and is left there.
bool MainHeaderCheckMatches(FILE* file, const Crc32Table& crc_table, const ArchiveLocation& where, const uint8_t* raw) {
  const MainHeader& header = where.main_header;
  uint32_t crc = Crc32Update(crc_table, 0xFFFFFFFF, raw + 2, kMainHeaderSize - 2);
  if (static_cast<uint16_t>(~crc) == header.check) return true;
  long after = ftell(file);
  int64_t end = static_cast<int64_t>(after) - kMainHeaderSize + header.size;
  if (header.size <= kMainHeaderSize || after < 0 || end > where.archive_end) return false;
  bool read = Crc32OfFile(file, crc_table, &crc, header.size - kMainHeaderSize);
  fseek(file, after, SEEK_SET);
  return read && static_cast<uint16_t>(~crc) == header.check;
}

// Reads the main header's fixed part at the stream position into `raw` and
// decodes it.
bool ReadMainHeader(FILE* file, MainHeader* header, uint8_t* raw) {
  if (fread(raw, 1, kMainHeaderSize, file) != kMainHeaderSize) return false;
  DecodeBlockStart(raw, header);
  header->reserved1 = ReadLe16(raw + 7);
  header->reserved2 = ReadLe32(raw + 9);
  return true;
}

// Settles where the archive must end: where the certificate table of a
// signed image begins, when the table lies after the archive's start, else
// at the end of the file (or the last offset a signed 32-bit position
// reaches). The stream position is kept.
void SetArchiveEnd(FILE* file, ArchiveLocation* where) {
  long here = ftell(file);
  long end = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
  where->archive_end = static_cast<int32_t>(end >= 0 && end <= kLastPosition ? end : kLastPosition);
  CertificateTable table;
  if (end >= 0 && FindCertificateTable(file, end, &table) && table.offset > where->archive_start) {
    where->archive_end = table.offset;
    where->certificate_size = table.size;
  }
  fseek(file, here, SEEK_SET);
}

// Tests the candidate 'R' at index i of `window` (file offset 7 + i), whose
// first `got` bytes were read. A test is only made when every byte it looks
// at was read. Returns the flavour, or 0.
uint32_t TestCandidate(const uint8_t* window, uint32_t got, uint32_t i) {
  // The tag sits at file offset 28, which is index 21 of the window.
  const uint32_t tag = kOldFlavourTagOffset - kSearchStart;
  if (i + 3 < got && tag + 4 <= got && memcmp(window + i + 1, kOldMarkerTail, 3) == 0 &&
      memcmp(window + tag, kOldFlavourTag, 4) == 0) {
    return kFlavourOld;
  }
  // The main header's block type, two bytes past the marker, must be read too.
  if (i + kMarkerSize + 2 < got && memcmp(window + i + 1, kMarker + 1, kMarkerSize - 1) == 0 &&
      window[i + kMarkerSize + 2] == kMainHeaderType) {
    return kFlavourRar;
  }
  return 0;
}

// Searches the head of the file for a marker, the stream standing at offset
// 7, and reads the main header's fixed part of the one found into `raw`.
bool SearchMarker(FILE* file, ArchiveLocation* where, uint8_t* raw) {
  uint8_t* window = static_cast<uint8_t*>(ZeroAlloc(kSearchLength + 1));
  if (window == nullptr) return false;
  uint32_t got = static_cast<uint32_t>(fread(window, 1, kSearchLength, file));
  uint32_t flavour = 0;
  uint32_t i = 0;
  while (i < got) {
    const void* r = memchr(window + i, kMarker[0], got - i);
    if (r == nullptr) break;
    i = static_cast<uint32_t>(static_cast<const uint8_t*>(r) - window);
    flavour = TestCandidate(window, got, i);
    if (flavour != 0) break;
    ++i;
  }
  FreeAndNull(window);
  if (flavour == 0) return false;

  int32_t start = static_cast<int32_t>(kSearchStart + i);
  where->flavour = flavour;
  where->archive_start = start;
  if (fseek(file, start, SEEK_SET) != 0) return false;
  // The older flavour's main header begins at the marker itself; the newer
  // one's follows the seven marker bytes.
  if (flavour == kFlavourRar && fread(where->marker, 1, kMarkerSize, file) != kMarkerSize) return false;
  return ReadMainHeader(file, &where->main_header, raw);
}

}  // namespace

bool FindArchive(FILE* file, const Crc32Table& crc, ArchiveLocation* where) {
  memset(where, 0, sizeof *where);
  if (fread(where->marker, 1, kMarkerSize, file) != kMarkerSize) return false;
  uint8_t raw[kMainHeaderSize];
  bool found;
  if (memcmp(where->marker, kMarker, kMarkerSize) == 0) {
    // A file that begins with the marker needs no search, and its main
    // header's block type is not checked.
    where->flavour = kFlavourRar;
    found = ReadMainHeader(file, &where->main_header, raw);
  } else {
    found = SearchMarker(file, where, raw);
  }
  if (!found) return false;
  SetArchiveEnd(file, where);
  // The older flavour's main header has no check value.
  if (where->flavour == kFlavourRar) where->main_header_bad = MainHeaderCheckMatches(file, crc, *where, raw) ? 0 : 1;
  return true;
}

bool LocateArchive(ExtractContext* context) {
  ArchiveLocation where;
  bool found = FindArchive(context->archive_file, context->crc32_table, &where);
  memcpy(context->marker, where.marker, kMarkerSize);
  context->main_header = where.main_header;
  context->archive_start = where.archive_start;
  context->archive_end = where.archive_end;
  context->certificate_size = where.certificate_size;
  context->archive_flavour = where.flavour;
  context->main_header_bad = where.main_header_bad;
  context->found = found ? 1 : 0;
  return found;
}
