// The copy's part: the removal itself, run from the temporary folder while
// (and after) the installed uninstaller ends.
#pragma once

#include "uninstall/own_list.h"
#include "uninstall/uninstall_texts.h"

// Removes the package from `folder` (the /D= argument): its files, then
// its shortcuts and registry values; then, once the installed uninstaller
// has ended, its file and the folder when nothing else is left in it.
// What cannot be deleted now goes at the next restart, as does this copy
// with its folder. Silent, the outcome also goes out on standard output
// before the installed uninstaller's own file is deleted; otherwise the
// user is told. Returns an UninstallExit.
int RemoveProduct(const OwnList& own, const char* folder, bool silent, const UninstallTexts& texts);
