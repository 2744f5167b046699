// Decoder and checksum throughput, side by side with zlib and memcpy in the
// same run: UnpackEntry computing the entry's CRC-32 as the installer does,
// against zlib's inflate (which computes its Adler-32) of the same content
// compressed by zlib at level 9; and Crc32Update against zlib's crc32.
// Figures are MB/s of processor time of this thread, since the machine is
// shared.
#include <time.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/extract_context.h"
#include "bench/bench_inputs.h"
#include "bench/bench_timing.h"
#include "archive/packed_entry.h"

namespace {

double CpuSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

// Our figure, the baseline's, and a third for scale.
struct Figures {
  double ours, baseline, other;
};

// The best of several rounds of each contender, the three taking turns so
// that a busy moment of the machine does not fall on one of them alone.
template <typename Ours, typename Baseline, typename Other>
Figures Compare(size_t bytes, Ours ours, Baseline baseline, Other other) {
  Figures best = {0, 0, 0};
  for (int round = 0; round < 7; ++round) {
    best.ours = std::max(best.ours, Round(CpuSeconds, bytes, ours, 0.03));
    best.baseline = std::max(best.baseline, Round(CpuSeconds, bytes, baseline, 0.03));
    best.other = std::max(best.other, Round(CpuSeconds, bytes, other, 0.03));
  }
  return best;
}

// A pass context over in-memory packed data, as the driver prepares it for
// each entry. A checked run computes each entry's CRC-32 over its output as
// the installer does, keeping no bytes; an unchecked one skips the entries,
// which are still decoded into the window.
class Decoder {
 public:
  Decoder() {
    context_ = static_cast<ExtractContext*>(ZeroAlloc(sizeof(ExtractContext)));
    window_ = static_cast<uint8_t*>(ZeroAlloc(kWindowBufferSize));
    BuildCrc32Table(&context_->crc32_table);
    context_->archive_flavour = 2;
  }
  ~Decoder() {
    FreeAndNull(window_);
    FreeAndNull(context_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Decodes the entries of one stream in order; returns false when one of
  // them does not come out with its checksum.
  bool Run(const BenchStream& stream, bool check) {
    bool good = true;
    for (const BenchEntry& entry : stream.entries) {
      FILE* input = fmemopen(const_cast<uint8_t*>(entry.packed.data()), entry.packed.size(), "rb");
      context_->archive_file = input;
      context_->decoder.input.input_file = input;
      context_->decoder.input.packed_left = static_cast<int32_t>(entry.packed.size());
      context_->decoder.unpacked_left = static_cast<int32_t>(entry.unpacked_size);
      context_->skip_output = check ? 0 : 1;
      context_->verify_only = check ? 1 : 0;
      context_->entry_crc = 0xFFFFFFFF;
      UnpackEntry(context_, window_, entry.solid);
      if (check && ~context_->entry_crc != entry.crc) good = false;
      fclose(input);
    }
    context_->archive_file = nullptr;
    context_->decoder.input.input_file = nullptr;
    return good;
  }

 private:
  ExtractContext* context_;
  uint8_t* window_;
};

// zlib's side: the same content deflated at level 9, inflated in one call.
class Inflater {
 public:
  explicit Inflater(const std::vector<uint8_t>& content) : output_(content.size() + 1) {
    uLongf size = compressBound(content.size());
    deflated_.resize(size);
    compress2(deflated_.data(), &size, content.data(), content.size(), 9);
    deflated_.resize(size);
    memset(&stream_, 0, sizeof stream_);
    inflateInit(&stream_);
  }
  ~Inflater() { inflateEnd(&stream_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  void Run() {
    inflateReset(&stream_);
    stream_.next_in = deflated_.data();
    stream_.avail_in = static_cast<uInt>(deflated_.size());
    stream_.next_out = output_.data();
    stream_.avail_out = static_cast<uInt>(output_.size());
    inflate(&stream_, Z_FINISH);
  }

 private:
  std::vector<uint8_t> deflated_;
  std::vector<uint8_t> output_;
  z_stream stream_;
};

void PrintRow(const char* name, size_t size, const Figures& f) {
  bool large = size >= 1000000;
  printf("%-28s %9.1f %-3s %10.1f %10.1f %10.1f %8.2f\n", name, large ? size / 1e6 : size / 1e3, large ? "MB" : "kB",
         f.ours, f.baseline, f.other, f.ours / f.baseline);
}

void DecodingFigures(const std::vector<BenchStream>& streams) {
  printf("Decoding with the data check, MB/s of output\n");
  printf("%-28s %13s %10s %10s %10s %8s\n", "input", "size", "ours", "zlib -9", "ours-crc", "ours/zlib");
  Decoder decoder;
  for (const BenchStream& stream : streams) {
    if (!decoder.Run(stream, true)) {
      printf("%-28s decodes wrongly\n", stream.name.c_str());
      continue;
    }
    std::vector<uint8_t> content = stream.Content();
    Inflater inflater(content);
    Figures f = Compare(
        content.size(), [&] { decoder.Run(stream, true); }, [&] { inflater.Run(); },
        [&] { decoder.Run(stream, false); });
    PrintRow(stream.name.c_str(), content.size(), f);
  }
}

void ChecksumFigures() {
  printf("\nCRC-32, MB/s\n");
  printf("%-28s %13s %10s %10s %10s %8s\n", "input", "size", "ours", "zlib", "memcpy", "ours/zlib");
  Crc32Table table;
  BuildCrc32Table(&table);
  for (size_t size : {size_t{64}, size_t{4096}, size_t{65536}, size_t{16} << 20}) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
    if (~Crc32Update(table, 0xFFFFFFFF, data.data(), size) != crc32(0, data.data(), size)) {
      printf("CRC-32 values differ from zlib's\n");
      return;
    }
    volatile uint32_t sink = 0;
    std::vector<uint8_t> target(size);
    Figures f = Compare(
        size, [&] { sink = Crc32Update(table, 0xFFFFFFFF, data.data(), size); },
        [&] { sink = crc32(0, data.data(), static_cast<uInt>(size)); },
        [&] {
          memcpy(target.data(), data.data(), size);
          __asm__ __volatile__("" : : "r"(target.data()) : "memory");
        });
    char name[32];
    snprintf(name, sizeof name, "%zu bytes", size);
    PrintRow(name, size, f);
  }
}

}  // namespace

int main() {
  DecodingFigures(LoadBenchStreams());
  ChecksumFigures();
  return 0;
}
