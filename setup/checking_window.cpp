#include "setup/checking_window.h"

#include "install/install_progress.h"
#include "setup/message_pump.h"
#include "setup/setup_dialog.h"
#include "setup/setup_state.h"
#include "setup/texts.h"

namespace {

constexpr int16_t kTextChecking = 3005;

// Room for the longest of the three texts and "100%" in the dialog font.
constexpr int kWidth = 320;
constexpr int kHeight = 56;

}  // namespace

int ReportChecking(void* user, uint32_t done, uint32_t total) {
  CheckingWindow* checking = static_cast<CheckingWindow*>(user);
  uint32_t now = GetTickCount();
  if (!checking->started) {
    checking->started = 1;
    checking->started_at = now;
    checking->served_at = now;
  }
  if (now - checking->served_at < kServeInterval) return 0;
  checking->served_at = now;
  if (checking->window == nullptr && now - checking->started_at >= kCheckingWindowDelay) {
    checking->window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_DLGFRAME | SS_CENTER | SS_CENTERIMAGE, 0, 0,
                                       kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
    if (checking->window == nullptr) return 0;
    SendMessageA(checking->window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    CenterOnDesktop(checking->window);
    ShowWindow(checking->window, SW_SHOWNORMAL);
    checking->percent_shown = -1;
  }
  if (checking->window != nullptr) {
    int span = 100 - checking->first_percent - checking->later_percent;
    int percent = checking->first_percent +
                  (total != 0 && done < total ? MulDiv(static_cast<int>(done), span, static_cast<int>(total)) : span);
    if (percent != checking->percent_shown) {
      checking->percent_shown = percent;
      char text[128];
      LookupText(g_setup_state->language_table, kTextChecking, text, sizeof text - 8);
      wsprintfA(text + lstrlenA(text), " %d%%", percent);
      SetWindowTextA(checking->window, text);
    }
  }
  // Nothing in the window can be used: what the user types meanwhile is
  // dropped with the rest.
  ServeWaitingMessages();
  return 0;
}

void CloseCheckingWindow(CheckingWindow* checking) {
  if (checking->window != nullptr) DestroyWindow(checking->window);
  checking->window = nullptr;
}
