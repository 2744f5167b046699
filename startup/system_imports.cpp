#include "startup/system_imports.h"

#include <windows.h>

#include <cstddef>

#include "startup/library_search.h"

namespace {

// The generated records: for each library its module and file name, for
// each function the pointer calls go through, its library and its name,
// padded to a multiple of 4 bytes.
struct SystemLibrary {
  HMODULE module;  // null until the first of its functions is bound
  char file_name[4];
};

struct SystemImport {
  FARPROC address;
  SystemLibrary* library;
  char name[4];
};

}  // namespace

// The linker orders the sections of the grouped data by name, so that the
// records (".data$tolven_imports_m_...") lie between these two labels.
// Made here in assembly: to the compiler they are two arrays of unknown
// size, which the loop below may walk from one to the other.
asm(".section .data$tolven_imports_a,\"w\"\n"
    ".balign 4\n"
    "_tolven_imports_begin:\n"
    ".section .data$tolven_imports_z,\"w\"\n"
    ".balign 4\n"
    "_tolven_imports_end:\n"
    ".long 0\n"
    ".text\n");
extern "C" char tolven_imports_begin[];
extern "C" char tolven_imports_end[];

void BindSystemImports() {
  for (char* at = tolven_imports_begin; at < tolven_imports_end;) {
    SystemImport* import = reinterpret_cast<SystemImport*>(at);
    SystemLibrary* library = import->library;
    if (library->module == nullptr) library->module = LoadSystemLibrary(library->file_name);
    if (library->module == nullptr) ExitProcess(STATUS_DLL_NOT_FOUND);
    import->address = GetProcAddress(library->module, import->name);
    if (import->address == nullptr) ExitProcess(STATUS_ENTRYPOINT_NOT_FOUND);
    // kernel32's own length: the C runtime is not bound yet.
    size_t name_bytes = static_cast<size_t>(lstrlenA(import->name)) + 1;
    at += offsetof(SystemImport, name) + ((name_bytes + 3) & ~static_cast<size_t>(3));
  }
}
