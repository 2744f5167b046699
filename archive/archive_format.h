// Finding the archive inside a file and walking its block headers.
//
// Layout as read here (all integers little-endian):
//   marker block   "Rar!" 0x1A 0x07 0x00, at offset 0 or found by a search
//                  of the file's head (an archive appended to an executable)
//   main header    13-byte fixed part: check u16, type u8 (0x73), flags u16,
//                  header size u16, reserved u16, reserved u32; bytes past
//                  the fixed part (a comment, say) are skipped unread
//   blocks         check u16, type u8, flags u16, header size u16, and with
//                  flag 0x8000 an add size u32 counting data after the header
// A file header (type 0x74) carries its packed size as the add size; its
// 32-byte fixed part is followed by the name.
#pragma once

#include <cstdint>
#include <cstdio>

struct Crc32Table;
struct ExtractContext;
struct FileHeader;

// Block types.
constexpr uint8_t kMainHeaderType = 0x73;
constexpr uint8_t kFileHeaderType = 0x74;

// Sizes of the fixed parts.
constexpr uint32_t kMarkerSize = 7;
constexpr uint32_t kMainHeaderSize = 13;
constexpr uint32_t kFileHeaderSize = 32;
constexpr uint32_t kBlockHeaderSize = 7;

// File header flags that the driver acts on.
constexpr uint16_t kFlagFromPreviousVolume = 0x0001;
constexpr uint16_t kFlagToNextVolume = 0x0002;
constexpr uint16_t kFlagEnciphered = 0x0004;
constexpr uint16_t kFlagSolid = 0x0010;
constexpr uint16_t kFlagDictionaryBits = 0x00E0;  // all three set: a directory
constexpr uint16_t kFlagLongBlock = 0x8000;       // an add size follows

// Attribute bits that the driver acts on.
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeVolumeLabel = 0x08;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;

// Methods and versions.
constexpr uint8_t kMethodStored = 0x30;       // '0'
constexpr uint8_t kLowestPackedVersion = 16;  // compressed entries below it are not unpacked

// Positions in the file are signed 32-bit.
constexpr int64_t kLastPosition = 0x7FFFFFFF;

// A marker is only looked for at offset 0 and in the window of file offsets
// 7 .. 250,005; every byte a candidate tests must lie inside it.
constexpr uint32_t kSearchStart = 7;
constexpr uint32_t kSearchLength = 249999;

// Why a walk ended.
enum WalkEnd {
  kWalkEndOfFile = 0,   // the last block ended exactly where the archive ends
  kWalkCutHeader = 1,   // the file ends inside a block header
  kWalkBadSize = 2,     // a header size below 7
  kWalkNoAdvance = 3,   // the next block would not lie beyond this one, or past 2 GiB
  kWalkNoDataSize = 4,  // a file header without the add size that places its data
  kWalkBadCheck = 5,    // a header check value that matches nothing, or an unknown block type
  kWalkCutData = 6,     // a block whose data reaches past the end of the archive
};

// The archive flavours, by their marker.
enum ArchiveFlavour { kFlavourOld = 1, kFlavourRar = 2 };

inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Every block begins with the same seven bytes: its check value, type,
// flags and header size. `Header` is a record whose first fields are those.
template <class Header>
void DecodeBlockStart(const uint8_t* raw, Header* header) {
  header->check = ReadLe16(raw);
  header->type = raw[2];
  header->flags = ReadLe16(raw + 3);
  header->size = ReadLe16(raw + 5);
}

// The main archive header's 13-byte fixed part.
struct MainHeader {
  uint16_t check;
  uint8_t type;
  uint16_t flags;
  uint16_t size;
  uint16_t reserved1;
  uint32_t reserved2;
};

// Where the archive lies in its file, and what its first blocks say.
struct ArchiveLocation {
  uint8_t marker[kMarkerSize];
  MainHeader main_header;
  int32_t archive_start;      // file offset of the marker
  int32_t archive_end;        // where the last block must end: the end of the file,
                              // or the start of a signed image's certificate table
  uint32_t certificate_size;  // that table's size; 0 in a file that is not signed
  uint32_t flavour;           // ArchiveFlavour
  uint32_t main_header_bad;   // its check value matches neither form writers use
};

// Finds the archive in `file`, which stands at offset 0, using `crc` for the
// main header's check. On success (true) `where` is filled and the stream
// stands right after the main header's fixed part.
bool FindArchive(FILE* file, const Crc32Table& crc, ArchiveLocation* where);

// Finds the archive in archive_file, which stands at offset 0. On success
// (true) the stream stands right after the main header's fixed part, and
// marker, main_header, archive_start, archive_end, certificate_size,
// archive_flavour and main_header_bad are set. The caller skips the rest of
// the main header.
bool LocateArchive(ExtractContext* context);

// Reads block headers from the current position up to the next file header.
// Returns 32 plus the kept name length when one was read, with file_header,
// entry_name, block_pos and next_block_pos set; 0 when the walk is over,
// with the reason in walk_end: kWalkEndOfFile when it ended exactly at
// archive_end, anything else when the archive is damaged or cut short. In
// "Rar!" archives every file header's check value is tested. The stream
// position afterwards is not defined: the caller seeks to what it wants
// next.
uint32_t ReadNextEntry(ExtractContext* context);

// Advances the running CRC-32 `crc` over the next `count` bytes of
// archive_file; false when they cannot all be read.
bool Crc32OfStream(ExtractContext* context, uint32_t* crc, uint32_t count);

// Attributes of a host system that does not keep Windows ones: a directory
// when all three dictionary bits are set, else a plain file.
uint32_t ReplacedAttributes(uint16_t flags);

// Moves the stream from the end of the main header's fixed part to the first
// block after the main header; a size below the fixed part's never moves it
// backwards.
void SkipMainHeaderRest(ExtractContext* context);

// The attribute rule for an entry made on host system 3, whose attributes
// are not Windows ones; other hosts were settled by the walk.
void NormaliseHostAttributes(FileHeader* header);
