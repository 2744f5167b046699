// Every system library but kernel32 is imported on first use: a call goes
// through a pointer that at first leads to a stub, which has ResolveImport
// find the function, store its address in the pointer and jump there. So no
// library is loaded before the program's entry point has closed the
// library search, and each is loaded the way LoadSystemLibrary loads it.
// The build generates the pointers and stubs (startup/CMakeLists.txt).
#include <windows.h>

#include "startup/library_search.h"

// The generated records: for each library its module and file name, for
// each function the pointer calls go through, followed by its library and
// its name.
struct FirstUseLibrary {
  HMODULE module;  // null until the first of its functions is called
  char file_name[1];
};

struct FirstUseFunction {
  FARPROC address;  // the function's stub until it is resolved
  FirstUseLibrary* library;
  char name[1];
};

// Called on any thread. Two threads that meet here store the same
// addresses, and a library loaded twice stays loaded once more. A library or
// function the system lacks ends the program as the system would have
// refused to start it, had the import been a static one.
extern "C" FARPROC WINAPI ResolveImport(FirstUseFunction* function) {
  FirstUseLibrary* library = function->library;
  if (library->module == nullptr) {
    library->module = LoadSystemLibrary(library->file_name);
    if (library->module == nullptr) ExitProcess(STATUS_DLL_NOT_FOUND);
  }
  FARPROC address = GetProcAddress(library->module, function->name);
  if (address == nullptr) ExitProcess(STATUS_ENTRYPOINT_NOT_FOUND);
  function->address = address;
  return address;
}

// Where every stub goes, with its function's record pushed above the
// caller's return address: ResolveImport takes the record off the stack,
// which leaves it as the caller made it for the function.
asm(".text\n"
    ".globl _ResolveFirstUse\n"
    "_ResolveFirstUse:\n"
    "\tcall _ResolveImport@4\n"
    "\tjmp *%eax\n");
