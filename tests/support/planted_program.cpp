// A program planted where a command with an unquoted path would run it
// (C:\Program.exe for "C:\Program Files\..."): started, it leaves a file
// named like itself with ".ran" added, holding its command line.
#include <windows.h>

extern "C" void WINAPI PlantedEntry() {
  char marker[MAX_PATH + 8];
  DWORD length = GetModuleFileNameA(nullptr, marker, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    lstrcpyA(marker + length, ".ran");
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      const char* command = GetCommandLineA();
      DWORD written = 0;
      WriteFile(file, command, static_cast<DWORD>(lstrlenA(command)), &written, nullptr);
      CloseHandle(file);
    }
  }
  ExitProcess(0);
}
