// What an installation makes sure of before it changes anything: that the
// product is not running, that a run ended from outside earlier is put
// right, that every file the user's choices place has room in the folder,
// and that every file to be replaced can be (no other program has it open).
#pragma once

#include <windows.h>

struct InstallContext;

// 0 when the installation may begin; else an InstallResult: the product
// still running or a file in use, the user having answered Cancel to the
// message that said so (which Retry shows again once the check holds); a
// folder too long for the names (kInstallNoDestination, with the system's
// reason in `*error`); or kInstallCancelled.
int CheckBeforeChanging(InstallContext* context, DWORD* error);

// 0 when nothing but the user's own file at `path` holds it (or there is
// no file there): it opens for writing without sharing. Else the system's
// reason. A read-only file is tried as if it were not, and stays read-only.
DWORD CheckReplaceable(const char* path);
