// The per-user memory of the installation folder, the uninstall entry and
// the proposed destination. None of these reports failures: a value that
// cannot be read counts as absent, one that cannot be written is left out.
#pragma once

#include <cstddef>

// Proposes a destination into `out` (`size` bytes): the folder remembered
// for SetupState.package_id, else the Program Files folder followed by
// SetupState.group; empty text when nothing can be proposed.
void GetDefaultDestination(char* out, size_t size);

// The system's Program Files folder from the registry into `out` (260
// bytes), or empty text.
void ReadProgramFilesDir(char* out);

// Remembers `folder` under SetupState.package_id for the current user.
void SaveInstallPath(const char* folder);

struct InstallContext;

// Registers the product SetupState.group with the system's list of
// installed programs, after an installation into context->destination: its
// uninstaller (context->uninstaller) as the uninstall command, the main
// program's icon (the uninstaller's without one), the version, the
// publisher, the folder and the size of the installed files; the ready
// uninstaller also as the quiet command, with /S.
void WriteUninstallEntry(const InstallContext* context);

// The uninstaller that the product SetupState.group is registered with, as
// a path without quotes, into `out` (kPathSize bytes); empty text when the
// product has no uninstall entry.
void ReadRegisteredUninstaller(char* out);
