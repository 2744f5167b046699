// Stands in for the library search protection in a test build of Setup.exe:
// nothing is restricted or loaded ahead, and every system library loads by
// name in the system's first search order, which starts in the program's
// own folder. With it the planted-library test shows that its markers are
// found when nothing keeps them out.
#include "startup/library_search.h"

void RestrictLibrarySearch() {}

HMODULE LoadSystemLibrary(const char* file_name) { return LoadLibraryA(file_name); }
