// Compression benchmark: our packed sizes and speeds at every level, beside
// (a) the sizes the other software reached on the corpus's reference.bin and
// (b) gzip -9 and xz -6 on a fixed mixed corpus of more than 50 MB, with the
// installer's decoding speed for each of our archives. Speeds are MB/s of
// input per second of processor time (this machine is shared).
#include <sys/resource.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "pack/packer.h"
#include "tools/package_builder.h"

namespace fs = std::filesystem;

namespace {

// What the other software reached on reference.bin, levels 1 to 5.
const uint32_t kOtherSoftware[] = {8245, 8244, 8184, 8182, 8185};

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double ChildCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class StringInput : public pack::PackInput {
 public:
  explicit StringInput(const std::string& bytes) : bytes_(bytes) {}
  size_t Read(uint8_t* destination, size_t count) override {
    size_t n = std::min(count, bytes_.size() - at_);
    std::memcpy(destination, bytes_.data() + at_, n);
    at_ += n;
    return n;
  }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

class CountingOutput : public pack::PackOutput {
 public:
  bool Write(const uint8_t*, size_t count) override {
    bytes += count;
    return true;
  }
  uint64_t bytes = 0;
};

// gzip -9 through zlib, over the files one after the other as one stream
// (as `cat files | gzip -9` would). Returns the size; times both ways.
uint64_t Gzip9(const std::vector<std::string>& files, double* pack_seconds, double* unpack_seconds) {
  std::vector<uint8_t> packed;
  std::vector<uint8_t> buffer(1 << 16);
  z_stream stream{};
  double start = CpuSeconds();
  deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  for (size_t i = 0; i < files.size(); ++i) {
    std::string content = ReadFile(files[i]);
    stream.next_in = reinterpret_cast<Bytef*>(&content[0]);
    stream.avail_in = static_cast<uInt>(content.size());
    int flush = i + 1 == files.size() ? Z_FINISH : Z_NO_FLUSH;
    do {
      stream.next_out = buffer.data();
      stream.avail_out = static_cast<uInt>(buffer.size());
      deflate(&stream, flush);
      packed.insert(packed.end(), buffer.data(), stream.next_out);
    } while (stream.avail_out == 0);
  }
  deflateEnd(&stream);
  *pack_seconds = CpuSeconds() - start;

  start = CpuSeconds();
  z_stream back{};
  inflateInit2(&back, 15 + 16);
  back.next_in = packed.data();
  back.avail_in = static_cast<uInt>(packed.size());
  int result;
  do {
    back.next_out = buffer.data();
    back.avail_out = static_cast<uInt>(buffer.size());
    result = inflate(&back, Z_NO_FLUSH);
  } while (result == Z_OK);
  inflateEnd(&back);
  *unpack_seconds = CpuSeconds() - start;
  return packed.size();
}

// xz -6 as the command itself, one thread, fed the files one after the
// other; its processor time is the child's.
uint64_t Xz6(const std::vector<std::string>& files, const std::string& scratch, double* pack_seconds,
             double* unpack_seconds) {
  std::string command = "cat";
  for (const std::string& file : files) command += " '" + file + "'";
  double start = ChildCpuSeconds();
  if (std::system((command + " | xz -6 -T1 -c > '" + scratch + "'").c_str()) != 0) return 0;
  *pack_seconds = ChildCpuSeconds() - start;
  start = ChildCpuSeconds();
  if (std::system(("xz -d -c '" + scratch + "' > /dev/null").c_str()) != 0) return 0;
  *unpack_seconds = ChildCpuSeconds() - start;
  uint64_t size = fs::file_size(scratch);
  fs::remove(scratch);
  return size;
}

int VerifyOnly(char* name, const uint8_t*, uint32_t, void*) {
  name[0] = kVerifyOnlyMarker;
  name[1] = '\0';
  return 0;
}

void ReferenceTable() {
  std::string reference = ReadFile(std::string(TOLVEN_CORPUS_DIR) + "/reference.bin");
  if (reference.empty()) {
    printf("(a) reference.bin: no corpus here, skipped\n\n");
    return;
  }
  printf("(a) reference.bin, %zu bytes: packed size\n", reference.size());
  printf("%-7s %8s %16s %8s\n", "level", "ours", "other software", "verdict");
  for (int level = pack::kMinLevel; level <= pack::kMaxLevel; ++level) {
    pack::Packer packer(level);
    StringInput input(reference);
    CountingOutput output;
    packer.PackEntry(&input, &output, false);
    uint32_t other = kOtherSoftware[level - 1];
    printf("%-7d %8llu %16u %8s\n", level, static_cast<unsigned long long>(output.bytes), other,
           output.bytes <= other ? "ok" : "LARGER");
  }
  double seconds;
  double unused;
  std::string path = std::string(TOLVEN_CORPUS_DIR) + "/reference.bin";
  printf("%-7s %8llu\n\n", "gzip -9", static_cast<unsigned long long>(Gzip9({path}, &seconds, &unused)));
}

void CorpusTable() {
  std::ifstream list(TOLVEN_BENCH_CORPUS_LIST);
  std::vector<std::string> files;
  std::vector<PackageEntry> entries;
  uint64_t total = 0;
  std::string line;
  while (std::getline(list, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::error_code error;
    uint64_t size = fs::file_size(line, error);
    if (error) {
      printf("(missing: %s)\n", line.c_str());
      continue;
    }
    PackageEntry entry;
    entry.source = line;
    char prefix[8];
    snprintf(prefix, sizeof prefix, "%02zu_", entries.size());
    entry.name = prefix + fs::path(line).filename().string();
    entry.size = size;
    entry.attributes = 0x20;
    entries.push_back(entry);
    files.push_back(line);
    total += size;
  }
  printf("(b) mixed corpus: %zu files, %.1f MB (text, executables, compressed data)\n", files.size(),
         total / 1e6);
  if (files.empty()) return;

  double gzip_pack, gzip_unpack, xz_pack = 0, xz_unpack = 0;
  uint64_t gzip = Gzip9(files, &gzip_pack, &gzip_unpack);
  uint64_t xz = Xz6(files, "compress_bench.xz", &xz_pack, &xz_unpack);
  printf("%-9s %12s %8s %9s %11s %13s\n", "", "bytes", "of input", "x gzip -9", "pack MB/s", "unpack MB/s");
  auto row = [&](const char* name, uint64_t bytes, double pack_seconds, double unpack_seconds) {
    printf("%-9s %12llu %7.1f%% %9.3f %11.1f %13.1f\n", name, static_cast<unsigned long long>(bytes),
           100.0 * bytes / total, static_cast<double>(bytes) / gzip, total / 1e6 / pack_seconds,
           total / 1e6 / unpack_seconds);
  };
  row("gzip -9", gzip, gzip_pack, gzip_unpack);
  if (xz != 0) row("xz -6", xz, xz_pack, xz_unpack);

  const std::string archive = "compress_bench.rar";
  double level5_ratio = 0, default_speed = 0;
  for (int level = 0; level <= pack::kMaxLevel; ++level) {
    BuildOptions options;
    options.level = level;
    double start = CpuSeconds();
    BuildOutcome outcome = BuildPackage("", entries, options, archive, nullptr);
    double pack_seconds = CpuSeconds() - start;
    if (!outcome.ok) {
      printf("level %d: %s\n", level, outcome.error.c_str());
      continue;
    }
    start = CpuSeconds();
    int result = ExtractArchive(archive.c_str(), VerifyOnly, nullptr);
    double unpack_seconds = CpuSeconds() - start;
    char name[16];
    snprintf(name, sizeof name, "level %d", level);
    row(name, outcome.file_size, pack_seconds, unpack_seconds);
    if (result != kExtractOk) printf("level %d: the archive does not pass the installer's check (%d)\n", level, result);
    if (level == pack::kMaxLevel) level5_ratio = static_cast<double>(outcome.file_size) / gzip;
    if (level == pack::kDefaultLevel) default_speed = total / 1e6 / pack_seconds;
  }
  fs::remove(archive);
  printf("targets: level 5 at most 0.95 x gzip -9: %.3f %s; level %d at least 10 MB/s: %.1f %s\n",
         level5_ratio, level5_ratio <= 0.95 ? "ok" : "MISSED", pack::kDefaultLevel, default_speed,
         default_speed >= 10 ? "ok" : "MISSED");
}

}  // namespace

int main() {
  ReferenceTable();
  CorpusTable();
  return 0;
}
