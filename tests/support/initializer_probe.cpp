// A program that starts at its own entry point and has one global with a
// dynamic initializer, which that entry point never runs: the start-up
// check must find it in the program's linker map.
#include <windows.h>

static DWORD g_started = GetTickCount();

extern "C" void WINAPI ProbeEntry() { ExitProcess(g_started == 0 ? 1 : 0); }
