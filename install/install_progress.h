// The dialog while an installation runs on its thread: served at least
// every kServeInterval ms, so that it repaints and answers; every control
// but Cancel disabled, so that nothing starts a second run inside the
// first; a progress bar; and Cancel, Esc or the close box asking whether
// to stop, in the user's language.
#pragma once

#include <windows.h>

#include <cstdint>

// Milliseconds between two servings of the dialog: well within what a user
// notices, and rare enough that serving costs the pass next to nothing.
constexpr uint32_t kServeInterval = 20;

struct InstallProgress {
  HWND dialog;
  HWND focus;             // the control that had the focus before, given it back after
  uint32_t served_at;     // tick count of the last serving
  uint32_t cancel_asked;  // Cancel, Esc or the close box since the last question
  uint32_t cancelled;     // the user confirmed: the run stops and is undone
};

// Puts the dialog into its busy state. The record comes zero-filled (a
// run's InstallContext) and stays valid until EndInstallProgress; one run
// at a time.
void BeginInstallProgress(InstallProgress* progress, HWND dialog);

// The dialog as it was, without the input made meanwhile.
void EndInstallProgress(InstallProgress* progress);

// Serves the dialog of the installation under way, if any, when it is due:
// from the checks, the passes, the fallback's move, the undoing of a run
// and the deletion of the files it kept. With `may_stop`, a Cancel is
// asked about; without, it is only noted for the next question, since the
// step must not stop half-way. True once the user has confirmed; false
// when no installation runs.
bool ServeRunningInstallation(bool may_stop);

// `whole` times the share `done` of `total` is, rounded down; all of
// `whole` from `total` on, and for a total of 0. A pass's bytes lie below
// 2 GiB, and MulDiv keeps the product's 64 bits.
inline int ShareOf(uint32_t done, uint32_t total, int whole) {
  return done < total ? MulDiv(static_cast<int>(done), whole, static_cast<int>(total)) : whole;
}

// PassProgress report of the installing pass (`user`: the InstallProgress):
// the bar shows `done` of `total`; nonzero once the user has cancelled.
int ReportInstallProgress(void* user, uint32_t done, uint32_t total);

// What Cancel and the close box do while a run is under way: the request
// is noted for the next serving, and true returned; false when no run is.
bool RequestCancel();

// True while an installation runs.
bool IsInstalling();
