// The shell folders that hold a product's shortcuts: found by the
// installation that makes them and by the uninstaller that removes them.
#pragma once

#include <cstddef>

// Path of the shell folder `csidl` into `out` (at least 260 bytes), or the
// empty text when the system has no such folder.
void GetSpecialFolder(int csidl, char* out);

// The Quick Launch folder (the user's application data folder followed by
// its fixed tail) into `out` (`size` bytes), or the empty text.
void GetQuickLaunchFolder(char* out, size_t size);

// 1 when the Quick Launch folder is known and exists, else 0.
int HasQuickLaunchFolder();
