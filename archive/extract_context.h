// The state of one pass over an archive: what the walk read, where the
// current entry goes, and the decompressor's window, bit input and tables.
// ExtractArchive obtains it zero-filled and releases it when the pass ends;
// the entry callback never sees it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive/checksum.h"
#include "archive/memory_buffer.h"
#include "unpack/decode_table.h"

// Outcomes of a pass.
enum ExtractResult {
  kExtractOk = 0,             // all entries done, or the callback stopped
  kExtractNoContext = 1,      // the context could not be obtained
  kExtractNoArchive = 2,      // cannot open, no archive found, or starts inside a volume
  kExtractBadEntry = 3,       // an entry failed its checks, or the archive is damaged or empty
  kExtractNoWindow = 9,       // the window could not be obtained
  kExtractCannotCreate = -5,  // an output file could not be created
  kExtractNoCopyBuffer = -1,  // a stored copy could not obtain its buffer
};

// Called once per entry with (name buffer, null, unpacked size, user), and a
// second time for a good memory entry with its bytes followed by one 0 byte.
// What the callback leaves in the 260-byte name buffer decides the entry's
// fate:
//   empty                      skip: unpacked for the solid dictionary, but
//                              delivered nowhere and not checked;
//   first character 1..31      memory entry: unpacked into memory, checked,
//                              and handed back in a second call;
//   first character '*'        verify only (kVerifyOnlyMarker): unpacked and
//                              checked, no bytes kept, no second call;
//   anything else              the output path of the entry's file.
// A nonzero result ends the pass.
typedef int (*EntryCallback)(char* name, const uint8_t* data, uint32_t size, void* user);

// '*' is a wildcard on every Windows file system, so no file can be created
// under a path that begins with it; the characters after it are not read.
constexpr char kVerifyOnlyMarker = '*';

constexpr uint32_t kWindowSize = 0x100000;  // 1 MiB: the farthest a match reaches back
constexpr uint32_t kWindowMask = kWindowSize - 1;
// The window's bytes live in a ring of twice its size. The half ahead of the
// write position is older than any match reaches, which lets copies write a
// little past a match's end.
constexpr uint32_t kWindowBufferSize = 2 * kWindowSize;
constexpr uint32_t kWindowBufferMask = kWindowBufferSize - 1;
constexpr uint32_t kInputBufferSize = 8192;
constexpr uint32_t kNameSize = 260;           // a name or path buffer, terminator included
constexpr uint32_t kLengthTableSize = 1028;   // 4 audio channels of 257 lengths

// The main archive header's 13-byte fixed part.
struct MainHeader {
  uint16_t check;
  uint8_t type;
  uint16_t flags;
  uint16_t size;
  uint16_t reserved1;
  uint32_t reserved2;
};

// A file header's 32-byte fixed part.
struct FileHeader {
  uint16_t check;
  uint8_t type;
  uint16_t flags;
  uint16_t size;
  uint32_t packed_size;
  uint32_t unpacked_size;
  uint8_t host_system;
  uint32_t data_crc;
  uint32_t time_stamp;  // MS-DOS date in the high half, time in the low half, local time
  uint8_t unpack_version;
  uint8_t method;
  uint16_t name_length;
  uint32_t attributes;  // normalised for host systems 3 and above
};

struct ExtractContext {
  uint8_t marker[7];
  MainHeader main_header;
  FileHeader file_header;
  EntryCallback callback;
  void* user;
  MemoryBuffer* memory_buffer;  // set only while the current entry is a memory entry
  const char* archive_path;     // not owned
  uint8_t* window;              // kWindowBufferSize bytes, owned by the pass
  char entry_name[kNameSize];
  FILE* archive_file;
  int32_t found;
  int32_t archive_start;
  uint32_t skip_output;  // the callback declined the entry: unpack, deliver nothing
  uint32_t verify_only;  // the entry is checked but its bytes are kept nowhere
  uint32_t output_failed;  // a write or memory append of this entry lost bytes
  uint32_t delivered;      // bytes of this entry that WriteOut accepted
  uint32_t walk_end;       // WalkEnd: why the last walk over the headers stopped
  uint32_t entry_failure;  // EntryFailure: why the entry that ended the pass was bad
  uint32_t main_header_bad;  // its check value matches neither form writers use
  int32_t archive_end;       // where the last block must end: the end of the file,
                             // or the start of a signed image's certificate table
  uint32_t certificate_size;  // that table's size; 0 in a file that is not signed
  int32_t block_pos;
  int32_t next_block_pos;
  FILE* input_file;
  FILE* output_file;
  int32_t packed_left;
  int32_t unpacked_left;
  uint32_t entry_crc;
  uint32_t archive_flavour;  // 1 = older marker (16-bit sum), 2 = "Rar!" (CRC-32)

  // Checksums.
  Crc32Table crc32_table;

  // Bit input.
  uint8_t in_buf[kInputBufferSize];
  uint32_t in_pos;  // byte of in_buf holding the next unread bit
  uint32_t in_bit;  // bits of that byte already consumed, from its top
  uint32_t in_top;  // valid bytes in in_buf
  // Index in in_buf just past the entry's last packed byte, kept by the
  // decoder's refills; below 0 once a continuation has moved beyond it.
  int32_t in_end;

  // Window positions in the ring; both taken modulo kWindowBufferSize.
  uint32_t win_pos;      // next byte the decoder produces
  uint32_t win_flushed;  // first produced byte not yet delivered
  // Bytes at the ring's start that entries since the last non-solid reset
  // may have written; the rest of the ring still reads as zeros.
  uint32_t window_dirty;

  // Huffman tables and the lengths they were built from.
  DecodeTable length_code_table;
  DecodeTable main_table;
  DecodeTable dist_table;
  DecodeTable rep_length_table;
  DecodeTable audio_tables[4];
  DecodeTable* audio_table_refs[4];  // entry c designates the table of channel c
  uint8_t old_lengths[kLengthTableSize];
  uint32_t audio_mode;
  int32_t channel_count;
  int32_t cur_channel;

  // Match history, carried across solid entries.
  uint32_t last_length;
  uint32_t last_distance;
  uint32_t recent_dist[4];
  uint32_t recent_index;

  uint32_t unpack_stop;  // UnpackStop of the last compressed entry
};
