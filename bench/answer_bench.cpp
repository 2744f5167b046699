// How long Setup.exe's dialog goes without answering while it installs
// 3,000 files, into an empty folder and then over that installation (whose
// files it keeps aside and at its end deletes), measured from outside as
// the user's system sees it: a second thread sends the dialog WM_NULL
// every 10 ms (SendMessageTimeout) and keeps the longest wait for the
// answer. Beside it, the same for an earlier Setup.exe (BENCH_SETUP_BEFORE,
// a Windows path) in the same run; rounds alternate, and medians are shown.
//   answer_bench SETUP.EXE
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/windows_bench.h"
#include "tests/dialog/setup_probe.h"
#include "tests/e2e/installed_product.h"
#include "tests/support/scratch.h"
#include "tools/archive_writer.h"

namespace {

constexpr int kFiles = 3000;
constexpr int kRounds = 3;
constexpr DWORD kPingEvery = 10;

// The product: a title, settings and kFiles files of 1 to 5 KB.
std::string Package() {
  std::vector<FileEntryFields> entries = {
      StoredEntry("FILE_ID.DIZ", "Answer Bench 1.0\r\n"),
      StoredEntry("BENCH.INF", "[Setup]\r\nID=TAB\r\nGroup=Answer Bench\r\n"),
  };
  for (int i = 0; i < kFiles; ++i) {
    std::string data(1024 + (i * 397) % 4096, '\0');
    for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<char>((i * 131 + k * 7) >> 3);
    entries.push_back(StoredEntry("FILE" + std::to_string(i) + ".DAT", data));
  }
  return ArchiveOf(entries);
}

void EmptyFolder(const std::string& folder) {
  for (const std::string& name : FolderNames(folder)) DeleteFileA((folder + "\\" + name).c_str());
  RemoveDirectoryA(folder.c_str());
}

struct Installation {
  double longest_ms = -1;  // -1: the installation did not complete
  double seconds = 0;
};

// One installation through the dialog of `installer` into `folder` as it
// stands: empty, or holding an earlier installation, whose files the run
// then keeps aside and deletes at its end.
Installation InstallInto(const std::string& installer, const std::string& folder) {
  Installation round;
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    SetFolder(open, folder);
    std::atomic<bool> done{false};
    double longest = 0;
    std::thread pinger([&] {
      while (!done) {
        double start = WallSeconds();
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(open.dialog, WM_NULL, 0, 0, SMTO_NORMAL, kHangBoundMs, &ignored);
        longest = std::max(longest, WallSeconds() - start);
        Sleep(kPingEvery);
      }
    });
    double start = WallSeconds();
    InstallOutcome outcome = PressInstall(open);
    round.seconds = WallSeconds() - start;
    done = true;
    pinger.join();
    if (outcome.dialog_closed) round.longest_ms = longest * 1000;
  };
  ProbeSetup(installer, options);
  return round;
}

// The package installed with `setup` into a fresh folder, then over that
// installation again.
std::vector<Installation> InstallTwice(const std::string& setup, const std::string& package) {
  const std::string installer = TempPath("answer_bench_setup.exe");
  const std::string folder = TempPath("answer_bench_product");
  WriteWholeFile(installer, ReadWholeFile(setup) + package);
  EmptyFolder(folder);
  std::vector<Installation> rounds;
  rounds.push_back(InstallInto(installer, folder));
  rounds.push_back(InstallInto(installer, folder));
  EmptyFolder(folder);
  DeleteFileA(installer.c_str());
  DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\Tolvenwark", "TAB");
  return rounds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: answer_bench SETUP.EXE\n");
    return 2;
  }
  std::vector<std::string> setups = {argv[1]};
  const char* baseline = std::getenv("BENCH_SETUP_BEFORE");
  if (baseline != nullptr && baseline[0] != '\0') setups.push_back(baseline);
  const std::string package = Package();
  // For each Setup.exe: into an empty folder, then over that installation.
  std::vector<std::vector<double>> longest(2 * setups.size()), seconds(2 * setups.size());
  for (int round = 0; round < kRounds; ++round) {
    for (size_t s = 0; s < setups.size(); ++s) {
      std::vector<Installation> r = InstallTwice(setups[s], package);
      for (size_t k = 0; k < r.size(); ++k) {
        longest[2 * s + k].push_back(r[k].longest_ms);
        seconds[2 * s + k].push_back(r[k].seconds);
      }
    }
  }
  std::printf("Installing %d files through the dialog: the longest wait for its answer (median of %d)\n", kFiles,
              kRounds);
  std::printf("%-46s %12s %12s\n", "", "longest ms", "install s");
  const char* names[] = {"ours, into an empty folder", "ours, over an earlier installation",
                         "earlier (baseline), into an empty folder", "earlier (baseline), over an earlier one"};
  for (size_t row = 0; row < longest.size(); ++row) {
    std::printf("%-46s %12.0f %12.1f\n", names[row], Median(longest[row]), Median(seconds[row]));
  }
  return 0;
}
