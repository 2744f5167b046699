#include "bench/bench_inputs.h"

#include <fstream>
#include <iterator>

#include "archive/checksum.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Little(const std::vector<uint8_t>& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size; i-- > 0;) value = value << 8 | bytes[at + i];
  return value;
}

// The compressed file entries of a "Rar!" archive whose content is known:
// every entry of the corpus benchmark decodes to the reference file, except
// the small text of unix-host.rar, taken from its stored check value alone.
BenchStream CorpusStream(const std::string& name, const std::vector<uint8_t>& archive,
                         const std::vector<uint8_t>& reference, const char* only_entry) {
  BenchStream stream;
  stream.name = name;
  size_t at = 7;
  while (at + 7 <= archive.size()) {
    uint8_t type = archive[at + 2];
    uint32_t flags = Little(archive, at + 3, 2);
    uint32_t size = Little(archive, at + 5, 2);
    uint32_t added = (flags & 0x8000) != 0 ? Little(archive, at + 7, 4) : 0;
    if (size < 7 || at + size + added > archive.size()) break;
    if (type == 0x74 && archive[at + 25] != '0') {
      std::string entry_name(archive.begin() + at + 32,
                             archive.begin() + at + 32 + Little(archive, at + 26, 2));
      if (only_entry == nullptr || entry_name == only_entry) {
        BenchEntry entry;
        entry.packed.assign(archive.begin() + at + size, archive.begin() + at + size + added);
        entry.unpacked_size = Little(archive, at + 11, 4);
        entry.crc = Little(archive, at + 16, 4);
        entry.solid = (flags & 0x10) != 0;
        if (entry.unpacked_size == reference.size()) entry.content = reference;
        else entry.content.resize(entry.unpacked_size);
        stream.entries.push_back(entry);
      }
    }
    at += size + added;
  }
  return stream;
}

}  // namespace

std::vector<BenchStream> LoadBenchStreams() {
  std::vector<BenchStream> streams;
  const std::string corpus = TOLVEN_CORPUS_DIR;
  std::vector<uint8_t> reference = ReadFile(corpus + "/reference.bin");
  if (!reference.empty()) {
    std::vector<uint8_t> levels = ReadFile(corpus + "/levels.rar");
    for (const char* level : {"p1.bin", "p2.bin", "p3.bin", "p4.bin", "p5.bin"})
      streams.push_back(CorpusStream(std::string("levels.rar ") + level, levels, reference, level));
    streams.push_back(CorpusStream("solid.rar (2 entries)", ReadFile(corpus + "/solid.rar"),
                                   reference, nullptr));
  }
  return streams;
}
