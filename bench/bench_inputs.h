// What the decoder benchmark decodes: packed streams of one or more entries
// (the entries after the first of a solid stream continue its state).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BenchEntry {
  std::vector<uint8_t> packed;
  std::vector<uint8_t> content;  // the entry's bytes
  uint32_t unpacked_size;
  uint32_t crc;  // standard CRC-32 of the content
  bool solid;
};

struct BenchStream {
  std::string name;
  std::vector<BenchEntry> entries;

  // All entries' bytes, in order.
  std::vector<uint8_t> Content() const {
    std::vector<uint8_t> all;
    for (const BenchEntry& e : entries) all.insert(all.end(), e.content.begin(), e.content.end());
    return all;
  }
};

// A large input of one of the kinds a product ships, each at least 8 MB.
enum BenchKind { kBenchText, kBenchSource, kBenchWindowsExe, kBenchLinuxExe, kBenchCompressed };
struct BenchContent {
  const char* name;
  BenchKind kind;
  std::vector<uint8_t> bytes;
};

// The large inputs whose files are all on this machine.
std::vector<BenchContent> LoadLargeContents();

// The compressed entries of the corpus archives (when the corpus is there),
// then the large inputs packed by our own compressor.
std::vector<BenchStream> LoadBenchStreams();
