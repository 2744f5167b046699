// A product registered in one folder and installed again into another would
// be there twice, and the uninstall entry and the remembered folder of the
// first copy would name the second: the first could no longer be removed.
// The user is asked before that happens.
#pragma once

#include <windows.h>

// True when the installation into `destination` (a full path) may go on:
// the product is registered nowhere else (or its uninstaller there is
// gone), or the user answers OK to the question. A silent installation
// goes on and logs that the earlier copy stays.
bool AcceptSecondCopy(HWND dialog, const char* destination);
