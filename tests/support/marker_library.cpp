// A library planted under a system library's name where an attacker could
// put one. Loaded into a process, it appends that process's program path to
// the file beside itself named like it with ".loaded" added, and refuses to
// stay (so that the loader goes on as if it had not been found). It imports
// kernel32 alone, which every system loads from itself.
#include <windows.h>

extern "C" BOOL WINAPI MarkerEntry(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char marker[MAX_PATH + 8];
  DWORD length = GetModuleFileNameA(self, marker, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return FALSE;
  lstrcpyA(marker + length, ".loaded");
  char program[MAX_PATH + 2];
  DWORD program_length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  program[program_length++] = '\r';
  program[program_length++] = '\n';
  HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, program, program_length, &written, nullptr);
    CloseHandle(file);
  }
  return FALSE;
}
