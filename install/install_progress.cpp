#include "install/install_progress.h"

#include <commctrl.h>

#include "resources/resource_ids.h"
#include "shell/message_pump.h"
#include "shell/messages.h"

namespace {

constexpr int16_t kTextCancelQuestion = 3004;

// Everything the user could change or start; Cancel stays.
const int16_t kBusyControls[] = {IDC_INSTALL, IDC_EDITION,    IDC_LANGUAGES,    IDC_FOLDER,
                                 IDC_BROWSE,  IDC_START_MENU, IDC_DESKTOP_ICON, IDC_QUICK_LAUNCH};

// The run under way, from BeginInstallProgress to EndInstallProgress; null
// between runs. The program has one dialog, so one run at a time.
InstallProgress* g_running;

void EnableControls(HWND dialog, BOOL enable) {
  for (int16_t id : kBusyControls) EnableWindow(GetDlgItem(dialog, id), enable);
  ShowWindow(GetDlgItem(dialog, IDC_PROGRESS), enable ? SW_HIDE : SW_SHOW);
}

// The dialog manager's own way to move the focus, which also keeps its
// default button right.
void FocusControl(HWND dialog, HWND control) {
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

}  // namespace

void BeginInstallProgress(InstallProgress* progress, HWND dialog) {
  progress->dialog = dialog;
  progress->focus = GetFocus();
  progress->served_at = GetTickCount();
  SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETPOS, 0, 0);
  // Away from the controls about to be disabled, which would keep it
  // and leave the keyboard nowhere.
  FocusControl(dialog, GetDlgItem(dialog, IDCANCEL));
  EnableControls(dialog, FALSE);
  g_running = progress;
}

void EndInstallProgress(InstallProgress* progress) {
  HWND dialog = progress->dialog;
  ServeWaitingMessages(false);
  g_running = nullptr;
  EnableControls(dialog, TRUE);
  if (progress->focus != nullptr) FocusControl(dialog, progress->focus);
}

bool ServeRunningInstallation(bool may_stop) {
  InstallProgress* progress = g_running;
  if (progress == nullptr) return false;
  // A Cancel among the messages is noted: Esc here, the button and the
  // close box through RequestCancel.
  if (GetTickCount() - progress->served_at >= kServeInterval) {
    if (ServeWaitingMessages(true)) progress->cancel_asked = 1;
    progress->served_at = GetTickCount();
  }
  if (may_stop && progress->cancel_asked && !progress->cancelled) {
    progress->cancel_asked = 0;
    // The run waits while the question is open; a No lets it go on.
    if (ShowDialogMessage(progress->dialog, "", kTextCancelQuestion, MB_YESNO | MB_ICONQUESTION) == IDYES) {
      progress->cancelled = 1;
    }
    progress->served_at = GetTickCount();
  }
  return progress->cancelled != 0;
}

int ReportInstallProgress(void* user, uint32_t done, uint32_t total) {
  InstallProgress* progress = static_cast<InstallProgress*>(user);
  // The bar repaints only when its position changes.
  SendDlgItemMessageA(progress->dialog, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(ShareOf(done, total, 100)), 0);
  int stop = ServeRunningInstallation(true) ? 1 : 0;
  // The pass takes the system's last error as the reason of a write that
  // fails after this: none of the serving's may be found there.
  SetLastError(ERROR_SUCCESS);
  return stop;
}

bool RequestCancel() {
  if (g_running == nullptr) return false;
  g_running->cancel_asked = 1;
  return true;
}

bool IsInstalling() { return g_running != nullptr; }
