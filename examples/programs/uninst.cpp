// The sample product's uninstaller, which Setup registers: it only says
// what a real one would do.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxA(nullptr, "A real uninstaller would now remove Tolvenwark Demo.", "UnInst",
              MB_OK | MB_ICONINFORMATION);
  return 0;
}
