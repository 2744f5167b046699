#include "bench/bench_inputs.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "archive/checksum.h"
#include "pack/packer.h"

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

class MemoryInput : public pack::PackInput {
 public:
  explicit MemoryInput(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  size_t Read(uint8_t* destination, size_t count) override {
    size_t n = std::min(count, bytes_.size() - at_);
    memcpy(destination, bytes_.data() + at_, n);
    at_ += n;
    return n;
  }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};

class MemoryOutput : public pack::PackOutput {
 public:
  bool Write(const uint8_t* data, size_t count) override {
    bytes.insert(bytes.end(), data, data + count);
    return true;
  }
  std::vector<uint8_t> bytes;
};

// Large files that every machine has after scripts/bootstrap, of the kinds a
// product ships: text, Windows and Linux executables, and data that is
// already compressed (which this format codes as literals, and zlib stores).
const char* const kLargeInputs[] = {
    "/usr/share/mingw-w64/include/mshtml.h",
    "/usr/share/mingw-w64/include/shobjidl.h",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/user32.dll",
    "/usr/bin/cmake",
    "/usr/share/doc/xvfb/changelog.gz",
};

// One file packed by our compressor as a non-solid entry.
BenchStream PackedFile(const char* path, const std::vector<uint8_t>& content, const Crc32Table& crc) {
  pack::Packer packer(pack::kDefaultLevel);
  MemoryInput input(content);
  MemoryOutput output;
  packer.PackEntry(&input, &output, false);
  BenchEntry entry;
  entry.packed = std::move(output.bytes);
  entry.content = content;
  entry.unpacked_size = static_cast<uint32_t>(content.size());
  entry.crc = ~Crc32Update(crc, 0xFFFFFFFF, content.data(), content.size());
  entry.solid = false;
  BenchStream stream;
  const char* slash = strrchr(path, '/');
  stream.name = slash != nullptr ? slash + 1 : path;
  stream.entries.push_back(std::move(entry));
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
  Crc32Table crc;
  BuildCrc32Table(&crc);
  for (const char* path : kLargeInputs) {
    std::vector<uint8_t> content = ReadFile(path);
    if (!content.empty()) streams.push_back(PackedFile(path, content, crc));
  }
  return streams;
}
