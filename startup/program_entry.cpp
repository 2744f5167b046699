// Where our elevated programs start, in place of the C runtime's start-up
// code. The first thing they do is close the library search (before
// anything could load a library from the folder they were started from),
// then bind the functions they import from the system's libraries, the C
// runtime among them. Its start-up code would bring argument vectors, thread-local
// storage, static constructors and signal handling that these programs do
// not use: they have no static constructors (the build fails on any) and no
// thread-local data, and read their arguments as one text. msvcrt.dll
// prepares itself when it is loaded; exit() runs its clean-up, which
// flushes and closes any stream still open.
#include <windows.h>

#include <cstdlib>

#include "startup/library_search.h"
#include "startup/system_imports.h"

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

extern "C" void WINAPI ProgramEntry() {
  RestrictLibrarySearch();
  BindSystemImports();
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  exit(WinMain(GetModuleHandleA(nullptr), nullptr, ArgumentsOf(GetCommandLineA()), show));
}
