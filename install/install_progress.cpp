#include "install/install_progress.h"

#include <commctrl.h>

#include "common/path_helpers.h"
#include "resources/resource_ids.h"
#include "setup/message_pump.h"
#include "setup/messages.h"
#include "setup/setup_state.h"

namespace {

constexpr int16_t kTextCancelQuestion = 3004;

// Everything the user could change or start; Cancel stays.
const int kBusyControls[] = {IDC_INSTALL, IDC_EDITION, IDC_LANGUAGES, IDC_FOLDER, IDC_BROWSE,
                             IDC_START_MENU, IDC_DESKTOP_ICON, IDC_QUICK_LAUNCH};

void EnableControls(HWND dialog, BOOL enable) {
  for (int id : kBusyControls) EnableWindow(GetDlgItem(dialog, id), enable);
  ShowWindow(GetDlgItem(dialog, IDC_PROGRESS), enable ? SW_HIDE : SW_SHOW);
}

InstallProgress* BusyRecord(HWND dialog) {
  return reinterpret_cast<InstallProgress*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

}  // namespace

void BeginInstallProgress(InstallProgress* progress, HWND dialog) {
  progress->dialog = dialog;
  progress->focus = GetFocus();
  progress->served_at = GetTickCount();
  progress->percent_shown = -1;
  progress->cancel_asked = 0;
  progress->cancelled = 0;
  SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETPOS, 0, 0);
  EnableControls(dialog, FALSE);
  // Where Esc arrives as a key of the dialog's own.
  SetFocus(GetDlgItem(dialog, IDCANCEL));
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(progress));
}

void EndInstallProgress(InstallProgress* progress) {
  HWND dialog = progress->dialog;
  DropWaitingInput();
  SetWindowLongPtrA(dialog, DWLP_USER, 0);
  EnableControls(dialog, TRUE);
  if (progress->focus != nullptr) SetFocus(progress->focus);
}

bool ServeInstallProgress(InstallProgress* progress) {
  uint32_t now = GetTickCount();
  if (progress->cancelled || now - progress->served_at < kServeInterval) return progress->cancelled != 0;
  if (ServeWaitingMessages()) progress->cancel_asked = 1;
  if (progress->cancel_asked) {
    progress->cancel_asked = 0;
    char caption[kPathSize];
    GetWindowTextA(progress->dialog, caption, sizeof caption);
    // The pass waits while the question is open; a No lets it go on.
    if (ShowStringMessage(progress->dialog, kTextCancelQuestion, caption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
      progress->cancelled = 1;
    }
  }
  progress->served_at = GetTickCount();
  return progress->cancelled != 0;
}

int ReportInstallProgress(void* user, uint32_t done, uint32_t total) {
  InstallProgress* progress = static_cast<InstallProgress*>(user);
  int percent = total != 0 && done < total ? MulDiv(static_cast<int>(done), 100, static_cast<int>(total)) : 100;
  if (percent != progress->percent_shown) {
    progress->percent_shown = percent;
    SendDlgItemMessageA(progress->dialog, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  }
  int stop = ServeInstallProgress(progress) ? 1 : 0;
  // The pass takes the system's last error as the reason of a write that
  // fails after this: none of the serving's may be found there.
  SetLastError(ERROR_SUCCESS);
  return stop;
}

bool RequestCancel(HWND dialog) {
  InstallProgress* progress = BusyRecord(dialog);
  if (progress == nullptr) return false;
  progress->cancel_asked = 1;
  return true;
}

bool IsInstalling(HWND dialog) { return BusyRecord(dialog) != nullptr; }
