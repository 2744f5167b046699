// What the setup dialog's OK button does: installs the package into the
// folder, edition and languages chosen in the dialog, records the
// installation and reports the outcome in a message box.
#pragma once

#include <windows.h>

// Returns 0 when the product was installed (the dialog then closes); any
// other value leaves the dialog open: -1 when there was nothing to install
// with or the installed files could not be moved into place, else the
// failing result of the installing pass.
int RunInstallation(HWND dialog);
