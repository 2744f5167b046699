// setup_probe [--hold MILLISECONDS] SETUP.EXE
// Runs an installer, prints what its dialog (or message box) shows, and
// closes it; with --hold the dialog stays open that long first, e.g. for a
// screenshot. Exit status 0 when a window was found and the program ended.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/dialog/setup_probe.h"

int main(int argc, char** argv) {
  ProbeOptions options;
  int next = 1;
  if (argc > 2 && std::strcmp(argv[1], "--hold") == 0) {
    options.hold_ms = static_cast<DWORD>(std::atoi(argv[2]));
    next = 3;
  }
  if (next + 1 != argc) {
    std::fprintf(stderr, "usage: setup_probe [--hold MILLISECONDS] SETUP.EXE\n");
    return 2;
  }
  ProbeResult result = ProbeSetup(argv[next], options);
  std::fputs(DescribeSnapshot(result).c_str(), stdout);
  return (result.dialog_found || result.message_found) && result.exited ? 0 : 1;
}
