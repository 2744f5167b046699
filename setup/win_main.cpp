// The program's entry point. Without /S the command line is ignored and the
// exit code is 0: outcomes reach the user only through message boxes. With
// /S the installation runs without a window and its exit code tells the
// outcome; so does a refused command line, which shows no window either.
#include <windows.h>
#include <ole2.h>

#include "archive/memory_buffer.h"
#include "setup/command_line.h"
#include "setup/setup_dialog.h"
#include "setup/silent_install.h"
#include "setup/single_instance.h"
#include "shell/setup_state.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_text, int) {
  CommandLine command_line;
  ParseCommandLine(command_text, &command_line);
  bool silent = command_line.silent || command_line.refusal != nullptr;
  g_setup_state = static_cast<SetupState*>(ZeroAlloc(sizeof(SetupState)));
  if (g_setup_state == nullptr) return silent ? kExitDamagedPackage : 0;
  // The folder browser and the shell link objects need OLE on this thread.
  OleInitialize(nullptr);
  InitSetupState(instance);
  int exit_code = 0;
  if (silent) {
    exit_code = RunSilentInstallation(instance, command_line);
  } else {
    if (ClaimSingleInstance(true)) DialogBoxParamA(instance, MAKEINTRESOURCEA(1000), nullptr, SetupDialogProc, 0);
    ReleaseSingleInstance();
  }
  OleUninitialize();
  MemoryBufferRelease(&g_setup_state->catalogue.names);
  FreeAndNull(g_setup_state);
  return exit_code;
}
