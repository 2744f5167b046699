#include "tools/temporary_output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

int OwnProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

// True unless the process is known to be gone: a build that still runs
// keeps its file.
bool MayStillRun(long id) {
#ifdef _WIN32
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
#else
  return kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH;
#endif
}

// Removes the files that killed builds of the output left: their names end
// in the id of a process that is gone.
void RemoveLeftovers(const std::string& output) {
  fs::path prefix(TemporaryPrefix(output));
  fs::path folder = prefix.parent_path().empty() ? fs::path(".") : prefix.parent_path();
  std::string start = prefix.filename().string();
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.size() <= start.size() || name.compare(0, start.size(), start) != 0) continue;
    std::string digits = name.substr(start.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
    long id = std::strtol(digits.c_str(), nullptr, 10);
    std::error_code ignored;
    if (id != OwnProcessId() && !MayStillRun(id)) fs::remove(it->path(), ignored);
  }
}

#ifndef _WIN32
// The signals that end a build from outside remove its file first. The
// handler only reads this buffer, which is filled before it is installed.
char signalled_path[4096];
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction earlier_actions[3];

extern "C" void RemoveOnSignal(int signal_number) {
  unlink(signalled_path);
  // The earlier disposition (normally the default, which ends the process)
  // takes over.
  for (int i = 0; i < 3; ++i) {
    if (kEndingSignals[i] == signal_number) sigaction(signal_number, &earlier_actions[i], nullptr);
  }
  raise(signal_number);
}

void RemoveOnEndingSignals(const std::string& path) {
  if (path.size() >= sizeof signalled_path) return;
  std::memcpy(signalled_path, path.c_str(), path.size() + 1);
  struct sigaction action = {};
  action.sa_handler = RemoveOnSignal;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) {
    sigaction(kEndingSignals[i], &action, &earlier_actions[i]);
    // A signal the caller chose to ignore (a build started in the
    // background ignores interrupts) stays ignored.
    if (earlier_actions[i].sa_handler == SIG_IGN) sigaction(kEndingSignals[i], &earlier_actions[i], nullptr);
  }
}

void KeepOnEndingSignals() {
  if (signalled_path[0] == '\0') return;
  for (int i = 0; i < 3; ++i) sigaction(kEndingSignals[i], &earlier_actions[i], nullptr);
  signalled_path[0] = '\0';
}
#else
// A console interrupt ends the process while the file is open, which
// Windows does not let anyone delete; the next build removes it.
void RemoveOnEndingSignals(const std::string&) {}
void KeepOnEndingSignals() {}
#endif

}  // namespace

std::string TemporaryPrefix(const std::string& output) { return output + ".mksetup-"; }

TemporaryOutput::TemporaryOutput(const std::string& output)
    : output_(output), path_(TemporaryPrefix(output) + std::to_string(OwnProcessId())) {
  RemoveLeftovers(output);
  RemoveOnEndingSignals(path_);
}

TemporaryOutput::~TemporaryOutput() {
  std::error_code ignored;
  fs::remove(path_, ignored);
  KeepOnEndingSignals();
}

std::string TemporaryOutput::Commit() {
  std::error_code renamed;
  fs::rename(path_, output_, renamed);
  return renamed ? renamed.message() : "";
}
