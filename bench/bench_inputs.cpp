#include "bench/bench_inputs.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "archive/checksum.h"
#include "pack/memory_io.h"
#include "pack/packer.h"

namespace {

// Windows programs under Wine reach the machine's files through drive Z:.
std::string HostPath(const std::string& path) {
#ifdef _WIN32
  return "Z:" + path;
#else
  return path;
#endif
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(HostPath(path), std::ios::binary);
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
      std::string entry_name(archive.begin() + at + 32, archive.begin() + at + 32 + Little(archive, at + 26, 2));
      if (only_entry == nullptr || entry_name == only_entry) {
        BenchEntry entry;
        entry.packed.assign(archive.begin() + at + size, archive.begin() + at + size + added);
        entry.unpacked_size = Little(archive, at + 11, 4);
        entry.crc = Little(archive, at + 16, 4);
        entry.solid = (flags & 0x10) != 0;
        if (entry.unpacked_size == reference.size())
          entry.content = reference;
        else
          entry.content.resize(entry.unpacked_size);
        stream.entries.push_back(entry);
      }
    }
    at += size + added;
  }
  return stream;
}

// Large inputs that every machine has after scripts/bootstrap, of the kinds
// a product ships, each one entry of at least 8 MB (a group of files packed
// as one, gzip files taken as their content): text, source, Windows and
// Linux executables; then data that is already compressed (which this
// format codes as literals, and zlib stores).
struct LargeInput {
  const char* name;
  BenchKind kind;
  bool keep_gzip;  // take .gz files as they are, not their content
  const char* files[3];
};
const LargeInput kLargeInputs[] = {
    {"text (changelogs)",
     kBenchText,
     false,
     {"/usr/share/doc/xvfb/changelog.gz", "/usr/share/doc/gcc-12-base/changelog.gz"}},
    {"source (mshtml*.h)",
     kBenchSource,
     false,
     {"/usr/share/mingw-w64/include/mshtml.h", "/usr/share/mingw-w64/include/mshtmlc.h"}},
    {"Windows exe (shell32.dll)", kBenchWindowsExe, false, {"/usr/lib/i386-linux-gnu/wine/i386-windows/shell32.dll"}},
    {"Linux exe (cmake)", kBenchLinuxExe, false, {"/usr/bin/cmake"}},
    {"compressed (changelog.gz)", kBenchCompressed, true, {"/usr/share/doc/xvfb/changelog.gz"}},
};

// The file's bytes; for a gzip file its content, unless `keep_gzip`.
std::vector<uint8_t> ReadContent(const char* path, bool keep_gzip) {
  size_t length = strlen(path);
  if (keep_gzip || length < 3 || strcmp(path + length - 3, ".gz") != 0) return ReadFile(path);
  std::vector<uint8_t> content;
  gzFile file = gzopen(HostPath(path).c_str(), "rb");
  if (file == nullptr) return content;
  uint8_t buffer[1 << 16];
  int got;
  while ((got = gzread(file, buffer, sizeof buffer)) > 0) content.insert(content.end(), buffer, buffer + got);
  gzclose(file);
  return content;
}

// One content packed by our compressor as a non-solid entry.
BenchStream PackedContent(const char* name, const std::vector<uint8_t>& content, const Crc32Table& crc) {
  pack::Packer packer(pack::kDefaultLevel);
  pack::MemoryInput input(content.data(), content.size());
  pack::MemoryOutput output;
  packer.PackEntry(&input, &output, false);
  BenchEntry entry;
  entry.packed = std::move(output.bytes);
  entry.content = content;
  entry.unpacked_size = static_cast<uint32_t>(content.size());
  entry.crc = ~Crc32Update(crc, 0xFFFFFFFF, content.data(), content.size());
  entry.solid = false;
  BenchStream stream;
  stream.name = name;
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
    streams.push_back(CorpusStream("solid.rar (2 entries)", ReadFile(corpus + "/solid.rar"), reference, nullptr));
  }
  Crc32Table crc;
  BuildCrc32Table(&crc);
  for (const BenchContent& large : LoadLargeContents()) {
    streams.push_back(PackedContent(large.name, large.bytes, crc));
  }
  return streams;
}

std::vector<BenchContent> LoadLargeContents() {
  std::vector<BenchContent> contents;
  for (const LargeInput& large : kLargeInputs) {
    // A group with a file missing is left out whole.
    BenchContent content{large.name, large.kind, {}};
    bool complete = true;
    for (const char* path : large.files) {
      if (path == nullptr) break;
      std::vector<uint8_t> part = ReadContent(path, large.keep_gzip);
      complete = complete && !part.empty();
      content.bytes.insert(content.bytes.end(), part.begin(), part.end());
    }
    if (complete) contents.push_back(std::move(content));
  }
  return contents;
}
