// The setup dialog's procedure: what each message and command does. On its
// own so that a test may put a procedure of its own in its place.
#include <windows.h>

#include "install/install_progress.h"
#include "install/run_installation.h"
#include "resources/resource_ids.h"
#include "setup/setup_dialog.h"
#include "shell/language_list.h"

namespace {

void OnCommand(HWND dialog, int id) {
  // While an installation runs, the dialog is served from inside it: only
  // Cancel counts, as a question to the run.
  if (IsInstalling()) {
    if (id == IDCANCEL) RequestCancel();
    return;
  }
  HWND list = GetDlgItem(dialog, IDC_LANGUAGES);
  switch (id) {
    case IDC_INSTALL:
      // A failed installation leaves the dialog open for another try.
      if (RunInstallation(dialog) == 0) PostMessageA(dialog, WM_CLOSE, 0, 0);
      break;
    case IDCANCEL:
      PostMessageA(dialog, WM_CLOSE, 0, 0);
      break;
    case IDM_CHECK_ALL:
      CheckAllItems(list);
      break;
    case IDM_UNCHECK_ALL:
      UncheckAllItems(list);
      break;
    case IDM_INVERT_CHECKS:
      InvertItemChecks(list);
      break;
    case IDC_BROWSE:
      BrowseForDestination(dialog, IDC_FOLDER);
      break;
  }
}

}  // namespace

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitSetupDialog(dialog);
      break;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wparam));
      break;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wparam) == GetDlgItem(dialog, IDC_LANGUAGES)) ShowListContextMenu(dialog);
      break;
    case WM_CLOSE:
      if (!RequestCancel()) EndDialog(dialog, 0);
      break;
  }
  // Also for WM_INITDIALOG: no control gets the focus by default.
  return 0;
}
