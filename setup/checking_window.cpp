#include "setup/checking_window.h"

#include "install/install_progress.h"
#include "resources/resource_ids.h"
#include "shell/message_pump.h"
#include "shell/setup_state.h"
#include "shell/texts.h"

namespace {

// Nothing in the window answers the user.
INT_PTR CALLBACK CheckingWindowProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

int ReportChecking(void* user, uint32_t done, uint32_t total) {
  CheckingWindow* checking = static_cast<CheckingWindow*>(user);
  uint32_t now = GetTickCount();
  // A tick count of 0 for the first report only delays the window by one.
  if (checking->started_at == 0) checking->started_at = checking->served_at = now;
  if (now - checking->served_at < kServeInterval) return 0;
  checking->served_at = now;
  if (checking->window == nullptr && now - checking->started_at >= kCheckingWindowDelay) {
    // The template centres and shows it.
    checking->window = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_CHECKING), nullptr, CheckingWindowProc, 0);
    checking->percent_shown = -1;
  }
  if (checking->window != nullptr) {
    int percent =
        checking->first_percent + ShareOf(done, total, 100 - checking->first_percent - checking->later_percent);
    if (percent != checking->percent_shown) {
      checking->percent_shown = percent;
      char text[128];
      LookupText(g_setup_state->language_table, IDC_CHECKING, text, sizeof text - 8);
      wsprintfA(text + lstrlenA(text), " %d%%", percent);
      SetDlgItemTextA(checking->window, IDC_CHECKING, text);
    }
  }
  // Nothing in the window can be used: what the user types meanwhile is
  // dropped with the rest.
  ServeWaitingMessages(true);
  return 0;
}

void CloseCheckingWindow(CheckingWindow* checking) {
  if (checking->window != nullptr) DestroyWindow(checking->window);
  checking->window = nullptr;
}
