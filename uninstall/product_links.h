// The shortcuts of an installed product: Setup.exe makes its Start-Menu
// group and its desktop and Quick Launch icons, all pointing at files of the
// product's folder. COM must be initialised on the calling thread.
#pragma once

#include "archive/uninstall_record.h"

// Removes every shortcut in those places that points at one of the
// package's files in `folder`, and the group's folder (the all users' and
// the user's) once nothing else is left in it. Shortcuts to anything else,
// the user's own files in the product's folder among them, stay.
void RemoveProductLinks(const UninstallList& list, const char* folder);

// True when `path` names one of the package's files in `folder`.
bool IsPackageFile(const UninstallList& list, const char* folder, const char* path);
