#include "shell/install_log.h"

#include <windows.h>

#include <cstdarg>

namespace {

bool g_silent = false;
// Null while no log is open (zero-initialised, so it takes no file data).
HANDLE g_log = nullptr;

}  // namespace

bool BeginSilentRun(const char* log_path) {
  if (log_path[0] != '\0') {
    HANDLE log =
        CreateFileA(log_path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return false;
    g_log = log;
  }
  g_silent = true;
  return true;
}

void EndSilentRun() {
  if (g_log != nullptr) CloseHandle(g_log);
  g_log = nullptr;
  g_silent = false;
}

bool IsSilentRun() { return g_silent; }

void LogLine(const char* format, ...) {
  if (g_log == nullptr) return;
  // wvsprintf writes at most 1024 characters and the terminator.
  char line[1025 + 2];
  va_list arguments;
  va_start(arguments, format);
  int length = wvsprintfA(line, format, arguments);
  va_end(arguments);
  if (length < 0) return;
  // System texts end in a line break of their own.
  while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n')) --length;
  line[length++] = '\r';
  line[length++] = '\n';
  DWORD written = 0;
  WriteFile(g_log, line, static_cast<DWORD>(length), &written, nullptr);
}
