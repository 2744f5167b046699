// Every system library but kernel32 is imported by our elevated programs
// through a table of their own, which the build generates from
// startup/imports/*.def: calls go through the same pointers that static
// imports would fill (the __imp_ symbols the system headers' declarations
// call), but the system's loader, which would fill them before the
// program's first instruction by searching the program's own folder first,
// never sees them.
#pragma once

// Fills every pointer, loading each library through LoadSystemLibrary;
// called by the entry point once the library search is closed. A library
// or function the system lacks ends the program with the code the system
// gives a program whose static import is missing.
void BindSystemImports();
