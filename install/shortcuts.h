// Shortcut files: desktop and Quick Launch icons and the
// product's Start-Menu group. COM must be initialised on the calling thread.
// Nothing here reports to the user; a shortcut that fails is left out.
#pragma once

#include <windows.h>

#include "install/install_context.h"

// Writes the shortcut file `link_path` pointing at `target`, starting in
// `working_directory`, shown normally. Returns the COM status of the save or
// of the step that failed.
HRESULT CreateShortcut(const char* link_path, const char* target, const char* working_directory);

// Shortcuts named `name` (".lnk" added) to `target` on the desktop and in the
// Quick Launch folder; the working directory is the target's folder. None
// for an empty name.
void CreateDesktopShortcut(const char* target, const char* name);
void CreateQuickLaunchShortcut(const char* target, const char* name);

// The group entry `name` to `file` in `folder` (also its working directory),
// written into `group_folder`. Nothing when name or file is missing or empty.
void CreateGroupEntry(const char* name, const char* folder, const char* file, const char* group_folder);

// Builds the Start-Menu group of the product from what the installation run
// placed. A group folder that exists already gets no entries, and without a
// product name there is no group.
void CreateStartMenuGroup(HWND dialog, const InstallContext* context);
