// The installed uninstaller's part. A running program can delete neither
// its own file nor the folder it runs from, so it asks, makes sure no file
// of the package is in use, and hands the removal over to a copy of itself
// in a new folder of its own in the temporary folder.
#pragma once

#include "uninstall/own_list.h"
#include "uninstall/uninstall_texts.h"

// Starts the copy with the product's folder as its /D= argument. Silent:
// no question and no box; waits for the copy's outcome and returns it as
// the exit code. Otherwise returns once the copy runs, which then reports
// to the user. An UninstallExit.
int HandOver(const OwnList& own, bool silent, const UninstallTexts& texts);

// The name a user knows the product by: its name, else its main program,
// else its folder.
const char* DisplayName(const UninstallList& list, const char* folder);
