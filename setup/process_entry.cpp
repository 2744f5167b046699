// Where Setup.exe starts, in place of the C runtime's start-up code, which
// would bring argument vectors, thread-local storage, static constructors
// and signal handling that the program does not use: it has no static
// constructors (the build fails on any) and no thread-local data, and reads
// its arguments as one text. msvcrt.dll prepares itself when it is loaded; exit() runs its
// clean-up, which flushes and closes any stream still open.
#include <windows.h>

#include <cstdlib>

namespace {

// The arguments after the program's own name, as WinMain gets them: the
// name ends at the first blank outside double quotes, and the blanks after
// it are skipped.
char* ArgumentsOf(char* line) {
  bool quoted = false;
  auto at = [&line] { return static_cast<unsigned char>(*line); };
  for (; at() > ' ' || (at() != 0 && quoted); ++line) {
    if (*line == '"') quoted = !quoted;
  }
  while (at() != 0 && at() <= ' ') ++line;
  return line;
}

}  // namespace

extern "C" void WINAPI SetupProcessEntry() {
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  exit(WinMain(GetModuleHandleA(nullptr), nullptr, ArgumentsOf(GetCommandLineA()), show));
}
