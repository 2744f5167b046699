// Entries of real archives made by other software, decoded straight through
// UnpackEntry. The few header fields needed are read here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scratch.h"
#include "tests/unpack/unpack_harness.h"

namespace {

struct CorpusEntry {
  std::string name;
  uint32_t data_offset;
  uint32_t packed_size;
  uint32_t unpacked_size;
  uint32_t data_crc;
  uint16_t flags;
  uint8_t method;
};

uint32_t Little(const std::string& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size; i-- > 0;) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// The file entries of a "Rar!" archive, in order: 7-byte marker, then
// blocks of (check u16, type u8, flags u16, size u16[, added size u32]).
std::vector<CorpusEntry> FileEntries(const std::string& archive) {
  std::vector<CorpusEntry> entries;
  size_t at = 7;
  while (at + 7 <= archive.size()) {
    uint8_t type = static_cast<uint8_t>(archive[at + 2]);
    uint16_t flags = static_cast<uint16_t>(Little(archive, at + 3, 2));
    uint32_t size = Little(archive, at + 5, 2);
    uint32_t added = (flags & 0x8000) != 0 ? Little(archive, at + 7, 4) : 0;
    if (size < 7) break;
    if (type == 0x74) {
      CorpusEntry entry;
      entry.packed_size = added;
      entry.unpacked_size = Little(archive, at + 11, 4);
      entry.data_crc = Little(archive, at + 16, 4);
      entry.method = static_cast<uint8_t>(archive[at + 25]);
      entry.flags = flags;
      entry.name = archive.substr(at + 32, Little(archive, at + 26, 2));
      entry.data_offset = static_cast<uint32_t>(at + size);
      entries.push_back(entry);
    }
    at += size + added;
  }
  return entries;
}

struct Decoded {
  std::string name;
  std::string bytes;
  bool crc_good;
  uint32_t stop;
};

// Decodes every compressed entry of a corpus archive in order, solid state
// carried from one to the next.
std::vector<Decoded> DecodeArchive(const char* file) {
  std::vector<Decoded> decoded;
  std::string archive = ReadWholeFile(CorpusFile(file));
  UnpackHarness harness;
  for (const CorpusEntry& entry : FileEntries(archive)) {
    if (entry.method == '0') continue;
    std::string packed = archive.substr(entry.data_offset, entry.packed_size);
    std::string bytes = harness.Entry(packed, static_cast<int32_t>(entry.unpacked_size), (entry.flags & 0x10) != 0);
    decoded.push_back({entry.name, bytes, ~harness.context()->entry_crc == entry.data_crc, harness->unpack_stop});
  }
  return decoded;
}

TEST(CorpusDecode, EntriesOfOtherSoftwareDecodeExactly) {
  TOLVEN_SKIP_UNLESS(!CorpusFile("levels.rar").empty(), NoCorpus());
  std::string reference = ReadWholeFile(CorpusFile("reference.bin"));
  ASSERT_EQ(reference.size(), 16384u);

  const struct {
    const char* archive;
    const char* entry;
    bool equals_reference;
  } good[] = {
      {"levels.rar", "p1.bin", true},      {"levels.rar", "p2.bin", true},       {"levels.rar", "p3.bin", true},
      {"levels.rar", "p4.bin", true},      {"levels.rar", "p5.bin", true},       {"solid.rar", "p5.bin", true},
      {"solid.rar", "p5_solid.bin", true}, {"unix-host.rar", "file.txt", false},
  };
  for (const auto& g : good) {
    bool seen = false;
    for (const Decoded& d : DecodeArchive(g.archive)) {
      if (d.name != g.entry) continue;
      seen = true;
      EXPECT_TRUE(d.crc_good) << g.archive << " " << g.entry;
      EXPECT_EQ(d.stop, kUnpackComplete) << g.archive << " " << g.entry;
      if (g.equals_reference) {
        EXPECT_TRUE(d.bytes == reference) << g.archive << " " << g.entry;
      }
    }
    EXPECT_TRUE(seen) << g.archive << " " << g.entry;
  }
}

TEST(CorpusDecode, AudioEntryStopsAsAudioAndEncipheredEntryFailsItsCheck) {
  TOLVEN_SKIP_UNLESS(!CorpusFile("levels.rar").empty(), NoCorpus());
  bool seen_audio = false;
  for (const Decoded& d : DecodeArchive("levels.rar")) {
    if (d.name != "pMM.bin") continue;
    seen_audio = true;
    EXPECT_FALSE(d.crc_good);
    EXPECT_EQ(d.stop, kUnpackAudio);
  }
  EXPECT_TRUE(seen_audio);
  std::vector<Decoded> enciphered = DecodeArchive("encrypted.rar");
  ASSERT_FALSE(enciphered.empty());
  EXPECT_FALSE(enciphered[0].crc_good);
}

}  // namespace
