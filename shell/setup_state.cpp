#include "shell/setup_state.h"

#include <commctrl.h>

#include <cstring>

SetupState* g_setup_state = nullptr;

void InitSetupState(HINSTANCE instance) {
  // The dialog's list view class exists only after this.
  InitCommonControls();
  SetupState* state = g_setup_state;
  memset(state, 0, sizeof *state);
  state->icon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  SelectLanguage();
  // A path that does not fit leaves the field empty rather than cut: a cut
  // path would name some other file.
  DWORD length = GetModuleFileNameA(nullptr, state->module_path, sizeof state->module_path);
  if (length == 0 || length >= sizeof state->module_path) state->module_path[0] = '\0';
}
