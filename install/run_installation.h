// What the setup dialog's OK button does: installs the package into the
// folder, edition and languages chosen in the dialog, records the
// installation and reports the outcome in a message box.
#pragma once

#include <windows.h>

// Results of RunInstallation besides 0 and the failing results of the
// installing pass (ExtractResult).
enum InstallResult {
  kInstallNoDestination = -20,   // the folder is empty, too long, not fully
                                 // qualified, a drive's root, or cannot be made
  kInstallNotMoved = -21,        // the fallback's files could not be moved into place
  kInstallNotConfirmed = -22,    // the user kept the copy registered in another folder
  kInstallProductRunning = -23,  // a window of the product is still there
  kInstallFileInUse = -24,       // a file to be replaced is open in another program
  kInstallNotWritten = -25,      // a file did not take all of its bytes (a full disk)
  kInstallCancelled = -26,       // the user stopped the run
};

// Returns 0 when the product was installed (the dialog then closes); any
// other value leaves the dialog open: an InstallResult, -1 without an
// edition list, else the failing result of the installing pass. Whatever
// fails, the folder is left as it was before.
int RunInstallation(HWND dialog);
