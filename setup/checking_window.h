// The small window that says that the package is being checked, and how
// far the check has come, when the check before the dialog takes long
// enough for a user to wonder whether anything is happening.
#pragma once

#include <windows.h>

#include <cstdint>

// A check that ends sooner than this shows no window at all.
constexpr uint32_t kCheckingWindowDelay = 500;

// The share of the window's percentage that the read of the sealed bytes
// takes before the pass over the entries, which also unpacks them: about
// what the read takes of the whole check's time.
constexpr int32_t kSealShare = 15;

// Zero-filled before the check.
struct CheckingWindow {
  HWND window;          // null until shown; its line is control IDC_CHECKING
  uint32_t started_at;  // tick counts; 0 before the first report
  uint32_t served_at;
  int32_t percent_shown;
  // Where the read under way starts on the percentage, and what is left
  // after it for later reads: a report of `done` of `total` shows
  // first_percent + (100 - first_percent - later_percent) * done / total.
  int32_t first_percent;
  int32_t later_percent;
};

// PassProgress report of the description pass (`user`: the CheckingWindow):
// shows the window once the check has taken kCheckingWindowDelay ms and
// serves it and the thread's other windows. Always 0.
int ReportChecking(void* user, uint32_t done, uint32_t total);

// Removes the window, if it was shown.
void CloseCheckingWindow(CheckingWindow* checking);
