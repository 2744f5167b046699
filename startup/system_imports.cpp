#include "startup/system_imports.h"

#include <windows.h>

#include <cstddef>

#include "startup/library_search.h"

namespace {

// The generated records, one after the other with no padding: for each
// function the pointer calls go through, the index of its library, its
// name. The file names of the libraries, by index, follow one another.
constexpr size_t kLibraryAt = sizeof(FARPROC);
constexpr size_t kNameAt = kLibraryAt + 1;
constexpr int kLibraries = 16;  // more than imports/ has .def files

// A pointer that may lie at any address.
typedef FARPROC UnalignedProc __attribute__((aligned(1)));

}  // namespace

extern "C" const char tolven_library_names[];

// The linker orders the sections of the grouped data by name, so that the
// records (".data$tolven_imports_m_...") lie between these two labels; the
// second one's section, like theirs, is aligned to a byte, so that no
// padding comes between the last record and the label.
// Made here in assembly: to the compiler they are two arrays of unknown
// size, which the loop below may walk from one to the other.
asm(".section .data$tolven_imports_a,\"w\"\n"
    ".balign 4\n"
    "_tolven_imports_begin:\n"
    ".section .data$tolven_imports_z,\"w0\"\n"
    "_tolven_imports_end:\n"
    ".long 0\n"
    ".text\n");
extern "C" char tolven_imports_begin[];
extern "C" char tolven_imports_end[];

void BindSystemImports() {
  HMODULE modules[kLibraries] = {};  // null until the first of a library's functions is bound
  for (char* at = tolven_imports_begin; at < tolven_imports_end;) {
    int library = static_cast<unsigned char>(at[kLibraryAt]);
    if (library >= kLibraries) ExitProcess(STATUS_DLL_NOT_FOUND);
    if (modules[library] == nullptr) {
      const char* file_name = tolven_library_names;
      // kernel32's own lengths: the C runtime is not bound yet.
      for (int i = 0; i < library; ++i) file_name += lstrlenA(file_name) + 1;
      modules[library] = LoadSystemLibrary(file_name);
    }
    if (modules[library] == nullptr) ExitProcess(STATUS_DLL_NOT_FOUND);
    const char* name = at + kNameAt;
    FARPROC address = GetProcAddress(modules[library], name);
    if (address == nullptr) ExitProcess(STATUS_ENTRYPOINT_NOT_FOUND);
    // x86 calls through a pointer wherever it lies.
    *reinterpret_cast<UnalignedProc*>(at) = address;
    at += kNameAt + static_cast<size_t>(lstrlenA(name)) + 1;
  }
}
