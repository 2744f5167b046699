// Where our elevated programs take system libraries from: never from the
// folder they were started from (a downloads or temporary folder that
// anyone may have put a library of a system name into) and never from the
// current folder.
#pragma once

#include <windows.h>

// First thing in the entry point, before anything loads a library. Where
// the system can (SetDefaultDllDirectories: Windows 8 and later, Vista and
// 7 with their update), every library the process loads by name, and every
// library those load, is then searched for in the system folder only;
// elsewhere the current folder leaves the search where SetDllDirectoryA
// exists. Everywhere, the libraries that the system's own libraries are
// known to load by name are loaded at once from the system folder. Nothing
// here may call into the C runtime: it is one of the libraries loaded
// through it.
void RestrictLibrarySearch();

// Loads the system library `file_name` (a bare name such as "user32.dll"),
// or returns null: by name once the search is restricted, so that the
// side-by-side assemblies of the program's manifest still apply (the
// visual-styles common controls); else by its full path in the system
// folder, its own dependencies looked for there first.
HMODULE LoadSystemLibrary(const char* file_name);
