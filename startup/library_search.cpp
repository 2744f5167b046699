#include "startup/library_search.h"

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32; the headers of the oldest systems we build
// for do not name it.
constexpr DWORD kSearchSystemFolderOnly = 0x00000800;

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCSTR);

// True once the system itself keeps every load by name in its own folder;
// set once, by RestrictLibrarySearch, before a second thread exists.
bool g_search_restricted = false;

// What the system's own libraries load by name while our programs run, so
// that it is loaded ahead from the system folder: a library already loaded
// is what a later load by its name gets. Under Wine (the dialog with its
// folder browser, shortcuts, a silent installation, the uninstaller) its
// libraries load comctl32, imm32, msimg32, ole32 and uxtheme in the
// process's first search order, the restriction notwithstanding; the
// others are those that installers have been found loading from their own
// folder on Windows. A name the system lacks is simply not found.
// One text, the names one after another, each ended by its zero byte.
const char kLoadedByName[] =
    "comctl32.dll\0cryptbase.dll\0dwmapi.dll\0imm32.dll\0msimg32.dll\0ole32.dll\0profapi.dll\0propsys.dll\0"
    "riched20.dll\0shfolder.dll\0userenv.dll\0uxtheme.dll\0version.dll\0";

// The function `name` of kernel32, or null where the system lacks it.
// (Through the one function type that stands for any.)
template <typename Function>
Function KernelFunction(const char* name) {
  FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

void RestrictLibrarySearch() {
  auto set_default_directories = KernelFunction<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
  g_search_restricted = set_default_directories != nullptr && set_default_directories(kSearchSystemFolderOnly);
  if (!g_search_restricted) {
    // The current folder leaves the search; the program's own folder stays.
    auto set_dll_directory = KernelFunction<SetDllDirectoryFunction>("SetDllDirectoryA");
    if (set_dll_directory != nullptr) set_dll_directory("");
  }
  // A library that is already loaded is what a later load by its name gets.
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  for (const char* name = kLoadedByName; *name != '\0'; name += lstrlenA(name) + 1) LoadSystemLibrary(name);
  SetErrorMode(previous);
}

HMODULE LoadSystemLibrary(const char* file_name) {
  if (g_search_restricted) return LoadLibraryA(file_name);
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + lstrlenA(file_name) >= MAX_PATH) return nullptr;
  path[length] = '\\';
  lstrcpyA(path + length + 1, file_name);
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
