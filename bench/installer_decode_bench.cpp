// The installer's decoding where it runs: the checking pass of Setup.exe
// (ExtractArchive with every entry only verified) over a level-3 archive
// file, in a program built with Setup.exe's own flags for i686 and run
// under Wine, beside zlib and libdeflate built for i686 and optimised for
// speed, decompressing the same content as gzip data so that each computes
// a CRC-32 as ours does. Beside it, with the files named in the
// environment: Setup.exe's size (BENCH_SETUP, BENCH_SETUP_BEFORE), and for
// a large package (BENCH_PACKAGE) where its checking pass spends its time
// and how long a user waits from its start to its dialog, beside the same
// package with the earlier build's Setup.exe (BENCH_PACKAGE_BEFORE), and
// the floor of that pass: libdeflate on the package's entries.
//
// Figures are MB/s of output per second of this process's processor time
// (the machine is shared), each the median of several rounds that the
// contenders take in turn.
#include <windows.h>
#include <zlib.h>

#ifdef TOLVEN_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "bench/bench_inputs.h"
#include "bench/bench_timing.h"
#include "bench/windows_bench.h"
#include "pack/memory_io.h"
#include "pack/packer.h"
#include "resources/resource_ids.h"
#include "tools/archive_writer.h"

namespace {

constexpr int kRounds = 5;
// Wine counts processor time in 10 ms ticks: a round of a second moves a
// figure by about 1 %, fine enough for the changes a decoder's tuning makes.
constexpr double kRoundSeconds = 1.0;

double CpuSeconds() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Medians of the contenders' rounds, taken in turn so that a busy moment of
// the machine does not fall on one of them alone.
std::vector<double> Compare(uint64_t bytes, const std::vector<std::function<void()>>& works) {
  std::vector<std::vector<double>> rounds(works.size());
  for (int round = 0; round < kRounds; ++round) {
    for (size_t i = 0; i < works.size(); ++i) {
      rounds[i].push_back(Round(CpuSeconds, bytes, works[i], kRoundSeconds));
    }
  }
  std::vector<double> medians;
  for (const std::vector<double>& r : rounds) medians.push_back(Median(r));
  return medians;
}

int VerifyEntry(char* name, const uint8_t*, uint32_t, void*) {
  name[0] = kVerifyOnlyMarker;
  name[1] = '\0';
  return 0;
}

int SkipEntry(char* name, const uint8_t*, uint32_t, void*) {
  name[0] = '\0';
  return 0;
}

// The content as a one-entry archive file at the default level, as
// mksetup would pack it.
bool WriteArchive(const std::vector<uint8_t>& content, const std::string& path) {
  pack::Packer packer(pack::kDefaultLevel, true);
  pack::MemoryInput input(content.data(), content.size());
  pack::MemoryOutput output;
  packer.PackEntry(&input, &output, false);
  FileEntryFields entry;
  entry.name = "CONTENT.BIN";
  entry.data.assign(output.bytes.begin(), output.bytes.end());
  entry.unpacked_size = static_cast<uint32_t>(content.size());
  entry.data_crc = ~Crc32Update(WriterCrc32Table(), 0xFFFFFFFF, content.data(), content.size());
  entry.method = kMethodStored + pack::kDefaultLevel;
  ArchiveWriter writer;
  writer.AddMainHeader();
  writer.AddFile(entry);
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = fwrite(writer.bytes().data(), 1, writer.bytes().size(), file) == writer.bytes().size();
  return fclose(file) == 0 && written;
}

// The content as gzip data at zlib's level 9, which both baselines read.
std::vector<uint8_t> Gzip(const std::vector<uint8_t>& content) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> packed(deflateBound(&stream, content.size()));
  stream.next_in = const_cast<Bytef*>(content.data());
  stream.avail_in = static_cast<uInt>(content.size());
  stream.next_out = packed.data();
  stream.avail_out = static_cast<uInt>(packed.size());
  deflate(&stream, Z_FINISH);
  packed.resize(stream.total_out);
  deflateEnd(&stream);
  return packed;
}

// zlib's inflate of gzip data, checking its CRC-32, into `out`.
bool Inflate(const std::vector<uint8_t>& packed, std::vector<uint8_t>* out) {
  z_stream stream{};
  inflateInit2(&stream, 15 + 16);
  stream.next_in = const_cast<Bytef*>(packed.data());
  stream.avail_in = static_cast<uInt>(packed.size());
  stream.next_out = out->data();
  stream.avail_out = static_cast<uInt>(out->size());
  int result = inflate(&stream, Z_FINISH);
  inflateEnd(&stream);
  return result == Z_STREAM_END;
}

// The earlier figures of the same measurement, against the same builds of
// zlib and libdeflate: ours/zlib and ours/libdeflate.
struct Anchor {
  BenchKind kind;
  double zlib_before;
  double libdeflate_before;
};
const Anchor kAnchors[] = {
    {kBenchText, 0.74, 0.33},
    {kBenchSource, 0.97, 0.23},
    {kBenchWindowsExe, 0.96, 0.41},
};
constexpr double kZlibTarget = 1.5;
constexpr double kLibdeflateTarget = 0.6;

const char* Verdict(double ratio, double target) { return ratio >= target ? "ok" : "MISSED"; }

void DecodingTable() {
  printf(
      "Decoding as the installer checks a package: i686, Setup.exe's flags, under Wine;\n"
      "MB/s of output per processor second, medians of %d rounds, CRC-32 on for all\n",
      kRounds);
  printf("%-26s %7s %7s %7s %7s  %-22s %-22s\n", "input", "MB", "ours", "zlib", "libdefl", "ours/zlib (before)",
         "ours/libdeflate (before)");
#ifdef TOLVEN_HAVE_LIBDEFLATE
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
#endif
  const std::string archive = TempPath("installer_decode_bench.rar");
  for (const BenchContent& content : LoadLargeContents()) {
    const Anchor* anchor = nullptr;
    for (const Anchor& a : kAnchors) anchor = a.kind == content.kind ? &a : anchor;
    if (anchor == nullptr) continue;
    if (!WriteArchive(content.bytes, archive) || ExtractArchive(archive.c_str(), VerifyEntry, nullptr) != kExtractOk) {
      printf("%-26s our archive does not pass its check\n", content.name);
      continue;
    }
    std::vector<uint8_t> gzip = Gzip(content.bytes);
    std::vector<uint8_t> out(content.bytes.size());
    if (!Inflate(gzip, &out) || out != content.bytes) {
      printf("%-26s zlib does not give the content back\n", content.name);
      continue;
    }
    std::vector<std::function<void()>> works = {
        [&] { ExtractArchive(archive.c_str(), VerifyEntry, nullptr); },
        [&] { Inflate(gzip, &out); },
    };
#ifdef TOLVEN_HAVE_LIBDEFLATE
    auto deflate_back = [&] {
      return libdeflate_gzip_decompress(decompressor, gzip.data(), gzip.size(), out.data(), out.size(), nullptr) ==
             LIBDEFLATE_SUCCESS;
    };
    if (!deflate_back() || out != content.bytes) {
      printf("%-26s libdeflate does not give the content back\n", content.name);
      continue;
    }
    works.push_back(deflate_back);
#endif
    std::vector<double> speeds = Compare(content.bytes.size(), works);
    double zlib_ratio = speeds[0] / speeds[1];
    printf("%-26s %7.1f %7.0f %7.0f ", content.name, content.bytes.size() / 1e6, speeds[0], speeds[1]);
    if (speeds.size() > 2)
      printf("%7.0f ", speeds[2]);
    else
      printf("%7s ", "-");
    printf(" %4.2f (%4.2f) %-8s", zlib_ratio, anchor->zlib_before, Verdict(zlib_ratio, kZlibTarget));
    if (speeds.size() > 2) {
      double ratio = speeds[0] / speeds[2];
      printf("   %4.2f (%4.2f) %s", ratio, anchor->libdeflate_before, Verdict(ratio, kLibdeflateTarget));
    } else {
      printf("   libdeflate not built");
    }
    printf("\n");
  }
  printf("targets: ours/zlib at least %.1f, ours/libdeflate at least %.1f\n\n", kZlibTarget, kLibdeflateTarget);
  DeleteFileA(archive.c_str());
#ifdef TOLVEN_HAVE_LIBDEFLATE
  libdeflate_free_decompressor(decompressor);
#endif
}

// Reads the whole file in pieces of `piece` bytes through the C runtime's
// stream, as the decoder's input does, or with the system's ReadFile.
uint64_t ReadThrough(const std::string& path, size_t piece, bool stream) {
  std::vector<uint8_t> buffer(piece);
  uint64_t total = 0;
  if (stream) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return 0;
    size_t got;
    while ((got = fread(buffer.data(), 1, piece, file)) > 0) total += got;
    fclose(file);
    return total;
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD got;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(piece), &got, nullptr) && got > 0) total += got;
  CloseHandle(file);
  return total;
}

// Unpacked bytes of the archive's entries, from a pass that only counts.
int CountEntry(char* name, const uint8_t*, uint32_t size, void* user) {
  *static_cast<uint64_t*>(user) += size;
  name[0] = '\0';
  return 0;
}

// Processor and wall seconds of one call, each the median of kRounds.
struct Timing {
  double cpu;
  double wall;
};

template <typename Work>
Timing Seconds(const Work& work) {
  std::vector<double> cpu, wall;
  for (int round = 0; round < kRounds; ++round) {
    double start = CpuSeconds();
    double wall_start = WallSeconds();
    work();
    cpu.push_back(CpuSeconds() - start);
    wall.push_back(WallSeconds() - wall_start);
  }
  return Timing{Median(cpu), Median(wall)};
}

uint64_t FileSize(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
  return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

#ifdef TOLVEN_HAVE_LIBDEFLATE
// Every entry of the package as gzip data of its own, from its memory copy.
struct GzipEntries {
  std::vector<std::vector<uint8_t>> packed;
  std::vector<uint32_t> sizes;
  uint32_t largest = 0;
};

int GzipEntry(char* name, const uint8_t* data, uint32_t size, void* user) {
  if (data == nullptr) {
    name[0] = '\1';
    return 0;
  }
  GzipEntries* entries = static_cast<GzipEntries*>(user);
  entries->packed.push_back(Gzip(std::vector<uint8_t>(data, data + size)));
  entries->sizes.push_back(size);
  entries->largest = std::max(entries->largest, size);
  return 0;
}

// How fast the pass could be at best: libdeflate decoding the same entries
// from gzip data, with its CRC-32. The wait before the dialog can shrink no
// further than this by a faster decoder of our format, whose window is 32
// times Deflate's.
void LibdeflateFloor(const char* package) {
  GzipEntries entries;
  if (ExtractArchive(package, GzipEntry, &entries) != kExtractOk) return;
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  std::vector<uint8_t> out(entries.largest);
  bool good = true;
  Timing seconds = Seconds([&] {
    for (size_t i = 0; i < entries.packed.size(); ++i) {
      good &= libdeflate_gzip_decompress(decompressor, entries.packed[i].data(), entries.packed[i].size(), out.data(),
                                         entries.sizes[i], nullptr) == LIBDEFLATE_SUCCESS;
    }
  });
  libdeflate_free_decompressor(decompressor);
  if (!good) {
    printf("  libdeflate does not give the entries back\n");
    return;
  }
  printf("  %-44s %7.2f s %7.2f s\n", "libdeflate, the same entries as gzip data", seconds.cpu, seconds.wall);
}
#endif

void PackageTable(const char* package) {
  uint64_t unpacked = 0;
  if (ExtractArchive(package, CountEntry, &unpacked) != kExtractOk) {
    printf("%s: no archive to check\n", package);
    return;
  }
  uint64_t packed = FileSize(package);
  printf(
      "Where the checking pass spends its time: %s,\n%.1f MB packed, %.1f MB unpacked; "
      "seconds, medians of %d\n",
      package, packed / 1e6, unpacked / 1e6, kRounds);
  printf("  %-44s %9s %9s\n", "", "processor", "wall");
  std::vector<uint8_t> block(1 << 20, 0x5A);
  Crc32Table table;
  BuildCrc32Table(&table);
  volatile uint32_t sink = 0;
  struct Row {
    const char* what;
    Timing seconds;
  };
  const std::string path = package;
  const Row rows[] = {
      {"reading the file, 8160-byte stream reads", Seconds([&] { ReadThrough(path, 8160, true); })},
      {"reading the file, 1 MiB ReadFile calls", Seconds([&] { ReadThrough(path, 1 << 20, false); })},
      {"CRC-32 of the unpacked bytes", Seconds([&] {
         for (uint64_t done = 0; done < unpacked; done += block.size())
           sink = Crc32Update(table, sink, block.data(), block.size());
       })},
      {"the pass, every entry skipped (no CRC)", Seconds([&] { ExtractArchive(package, SkipEntry, nullptr); })},
      {"the pass, every entry checked", Seconds([&] { ExtractArchive(package, VerifyEntry, nullptr); })},
  };
  for (const Row& row : rows) printf("  %-44s %7.2f s %7.2f s\n", row.what, row.seconds.cpu, row.seconds.wall);
#ifdef TOLVEN_HAVE_LIBDEFLATE
  LibdeflateFloor(package);
#endif
  printf("\n");
}

// The wait a user sees: from starting a program to its window on the
// screen, for Setup.exe the dialog with the destination folder (not a
// message box, nor a window shown while the package is checked).
struct WindowSearch {
  DWORD process_id;
  bool setup_dialog;  // else any visible window
  bool found;
};

BOOL CALLBACK NoteWindow(HWND window, LPARAM parameter) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  if (process_id == search->process_id && IsWindowVisible(window) &&
      (!search->setup_dialog || GetDlgItem(window, IDC_FOLDER) != nullptr)) {
    search->found = true;
  }
  return !search->found;
}

// Processor seconds spent so far by the program under Wine one of whose
// arguments ends with `marker` (its own path), or -1. Wine gives
// GetProcessTimes of another process the caller's own times, so they are
// read where the host keeps them: in the host's /proc (drive Z: is the
// host's root), whose stat line counts user and system time in ticks of
// 1/100 s (fields 14 and 15) and the start (field 22) after the command's
// name in brackets. Of the processes that match, the one started last is
// the program: a shell that started this benchmark may end an argument so.
double WineProcessCpuSeconds(const char* marker) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
  if (search == INVALID_HANDLE_VALUE) return -1;
  double seconds = -1;
  unsigned long long latest = 0;
  size_t marker_length = strlen(marker);
  do {
    if (entry.cFileName[0] < '1' || entry.cFileName[0] > '9') continue;
    std::string folder = std::string("Z:\\proc\\") + entry.cFileName;
    FILE* file = fopen((folder + "\\cmdline").c_str(), "rb");
    if (file == nullptr) continue;
    char line[1024];
    size_t got = fread(line, 1, sizeof line - 1, file);
    fclose(file);
    line[got] = '\0';
    // Arguments are separated by zeros: look at each.
    bool matches = false;
    for (size_t at = 0; at < got && !matches; at += strlen(line + at) + 1) {
      size_t length = strlen(line + at);
      matches = length >= marker_length && strcmp(line + at + length - marker_length, marker) == 0;
    }
    if (!matches) continue;
    file = fopen((folder + "\\stat").c_str(), "rb");
    if (file == nullptr) continue;
    got = fread(line, 1, sizeof line - 1, file);
    fclose(file);
    line[got] = '\0';
    const char* after_name = strrchr(line, ')');
    unsigned long long user = 0, system = 0, started = 0;
    if (after_name != nullptr &&
        sscanf(after_name + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu %*d %*d %*d %*d %*d %*d %llu",
               &user, &system, &started) == 3 &&
        started >= latest) {
      latest = started;
      seconds = (user + system) / 100.0;
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return seconds;
}

// Wall seconds from starting `command` to its window, polled every few
// milliseconds, and the processor seconds the program spent until then
// (which a loaded machine does not stretch); the program is then ended.
// Negative when it showed none.
Timing SecondsToWindow(std::string command, const char* marker, bool setup_dialog) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  double start = WallSeconds();
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return Timing{-1, -1};
  }
  Timing seconds = {-1, -1};
  WindowSearch search = {process.dwProcessId, setup_dialog, false};
  while (WaitForSingleObject(process.hProcess, 5) == WAIT_TIMEOUT) {
    EnumWindows(NoteWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      seconds = Timing{WineProcessCpuSeconds(marker), WallSeconds() - start};
      break;
    }
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return seconds;
}

constexpr char kShowWindowArgument[] = "--show-window";

// The floor: a program of the same machine that shows a window at once.
int ShowWindowAtOnce() {
  HWND window =
      CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  MSG message;
  while (window != nullptr && GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

// The earlier figure from start to the dialog on a 402 MB package.
constexpr double kWaitBefore = 7.13;

void WaitTable(const char* package, const char* earlier) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  struct Program {
    const char* what;
    std::string command;
    std::string marker;  // how one of its arguments ends, and no other program's
    bool setup_dialog;
    std::vector<double> cpu, wall;
  };
  // A package's file name is its own: the two packages are named apart.
  auto file_name = [](const char* path) {
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c) name = *c == '/' || *c == '\\' || *c == ':' ? c + 1 : name;
    return std::string(name);
  };
  std::vector<Program> programs = {
      {"Setup.exe, this build", std::string("\"") + package + "\"", file_name(package), true, {}, {}},
      {"a program that shows a window at once",
       std::string("\"") + self + "\" " + kShowWindowArgument,
       kShowWindowArgument,
       false,
       {},
       {}},
  };
  if (earlier != nullptr && earlier[0] != '\0') {
    programs.push_back(
        {"Setup.exe, the earlier build", std::string("\"") + earlier + "\"", file_name(earlier), true, {}, {}});
  }
  for (int round = 0; round < 3; ++round) {
    for (Program& program : programs) {
      Timing seconds = SecondsToWindow(program.command, program.marker.c_str(), program.setup_dialog);
      program.cpu.push_back(seconds.cpu);
      program.wall.push_back(seconds.wall);
    }
  }
  printf(
      "From start to a visible window, medians of 3 (earlier: %.2f s wall for 402 MB);\n"
      "the program's own processor seconds until then, and wall seconds\n",
      kWaitBefore);
  printf("  %-40s %9s %9s\n", "", "processor", "wall");
  std::vector<Timing> medians;
  for (const Program& program : programs) {
    medians.push_back(Timing{Median(program.cpu), Median(program.wall)});
    if (medians.back().wall < 0)
      printf("  %-40s no window\n", program.what);
    else
      printf("  %-40s %7.2f s %7.2f s\n", program.what, medians.back().cpu, medians.back().wall);
  }
  // This build's Setup.exe first, the earlier build's last.
  if (medians.size() > 2 && medians[0].cpu > 0 && medians[2].cpu > 0) {
    double ratio = medians[2].cpu / medians[0].cpu;
    printf("target: at least twice as fast as the earlier build: %.2f x in processor time %s\n", ratio,
           ratio >= 2 ? "ok" : "MISSED");
  }
}

// Setup.exe's size beside the earlier build's and the bound it must keep.
void SizeTable(const char* setup, const char* earlier) {
  constexpr uint64_t kSizeBefore = 48640;
  constexpr uint64_t kMoonshot = 44 * 1024;
  uint64_t size = FileSize(setup);
  printf("Setup.exe: %llu bytes; the earlier build ", static_cast<unsigned long long>(size));
  uint64_t before = earlier != nullptr ? FileSize(earlier) : 0;
  if (before != 0)
    printf("%llu", static_cast<unsigned long long>(before));
  else
    printf("not built");
  printf(" (%llu when the work began): %s; moonshot %llu: %s\n\n", static_cast<unsigned long long>(kSizeBefore),
         size <= kSizeBefore ? "ok" : "LARGER", static_cast<unsigned long long>(kMoonshot),
         size <= kMoonshot ? "ok" : "not yet");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], kShowWindowArgument) == 0) return ShowWindowAtOnce();
  const char* setup = getenv("BENCH_SETUP");
  if (setup != nullptr && setup[0] != '\0') SizeTable(setup, getenv("BENCH_SETUP_BEFORE"));
  DecodingTable();
  const char* package = getenv("BENCH_PACKAGE");
  if (package != nullptr && package[0] != '\0') {
    PackageTable(package);
    WaitTable(package, getenv("BENCH_PACKAGE_BEFORE"));
  }
  return 0;
}
