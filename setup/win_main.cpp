// The program's entry point. The command line is ignored and the exit code
// is always 0: outcomes reach the user only through message boxes.
#include <windows.h>
#include <ole2.h>

#include "archive/memory_buffer.h"
#include "setup/setup_dialog.h"
#include "setup/setup_state.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_setup_state = static_cast<SetupState*>(ZeroAlloc(sizeof(SetupState)));
  if (g_setup_state == nullptr) return 0;
  // The folder browser and the shell link objects need OLE on this thread.
  OleInitialize(nullptr);
  InitSetupState(instance);
  DialogBoxParamA(instance, MAKEINTRESOURCEA(1000), nullptr, SetupDialogProc, 0);
  OleUninitialize();
  FreeAndNull(g_setup_state);
  return 0;
}
