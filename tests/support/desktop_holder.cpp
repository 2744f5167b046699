// Keeps the Wine desktop of a test run in use until the run's wine server
// ends (see scripts/wine-run --start), so that the desktop and its explorer
// are not ended and made again between one test program and the next.
#include <windows.h>

int main() {
  // Asking for the desktop window puts this thread on the desktop.
  GetDesktopWindow();
  Sleep(INFINITE);
}
