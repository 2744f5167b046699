// The state of one pass over an archive: what the walk read, where the
// current entry goes and how much of it arrived, and the decoder.
// ExtractArchive obtains it zero-filled and releases it when the pass ends;
// the entry callback never sees it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive/archive_format.h"
#include "archive/checksum.h"
#include "archive/memory_buffer.h"
#include "unpack/decoder.h"

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

// Lets the caller of a pass follow it, and stop it: `report` gets the
// archive bytes read so far and the archive's size, before each entry and
// each time unpacked bytes leave the decoder (at least once per MiB), so a
// long entry reports on its way too. A nonzero result stops the pass: the
// entry under way fails (kFailureStopped) and its file is removed.
struct PassProgress {
  int (*report)(void* user, uint32_t done, uint32_t total);
  void* user;
  uint32_t output_error;  // set by the pass: the system's code for a write
                          // that lost bytes (kFailureOutput), else 0
};

// '*' is a wildcard on every Windows file system, so no file can be created
// under a path that begins with it; the characters after it are not read.
constexpr char kVerifyOnlyMarker = '*';

constexpr uint32_t kNameSize = 260;  // a name or path buffer, terminator included

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
  uint32_t skip_output;       // the callback declined the entry: unpack, deliver nothing
  uint32_t verify_only;       // the entry is checked but its bytes are kept nowhere
  uint32_t output_failed;     // a write or memory append of this entry lost bytes
  PassProgress* progress;     // null when nobody follows the pass; not owned
  uint32_t output_error;      // FsLastError of the write or close that lost bytes
  uint32_t stopped;           // the progress report asked to stop: set once, for good
  uint32_t delivered;         // bytes of this entry that WriteOut accepted
  uint32_t walk_end;          // WalkEnd: why the last walk over the headers stopped
  uint32_t entry_failure;     // EntryFailure: why the entry that ended the pass was bad
  uint32_t main_header_bad;   // its check value matches neither form writers use
  int32_t archive_end;        // where the last block must end: the end of the file,
                              // or the start of a signed image's certificate table
  uint32_t certificate_size;  // that table's size; 0 in a file that is not signed
  int32_t block_pos;
  int32_t next_block_pos;
  FILE* output_file;
  uint32_t entry_crc;
  uint32_t archive_flavour;  // 1 = older marker (16-bit sum), 2 = "Rar!" (CRC-32)

  Crc32Table crc32_table;

  // The bit input, window, tables and match history, carried from entry
  // to entry; the driver sets its input, its unpacked count and, with each
  // entry, its window.
  Decoder decoder;
};
