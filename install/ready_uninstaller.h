// Whether an installed uninstaller is the ready one that mksetup build
// adds: that one carries a filled record, and takes /S.
#pragma once

// True when `file_name` in `folder` holds a filled uninstall record within
// the size the ready uninstaller never exceeds.
bool IsReadyUninstaller(const char* folder, const char* file_name);
