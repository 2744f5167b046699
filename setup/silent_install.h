// Setup.exe /S: the installation that the dialog would propose, made
// without showing the dialog or any message box, for administrators who
// install on many machines.
#pragma once

#include <windows.h>

#include "setup/command_line.h"

// The process exit codes of a silent installation.
enum SilentExitCode {
  kExitInstalled = 0,
  kExitWrongArguments = 1,       // an argument not understood, or a log that cannot be created
  kExitDamagedPackage = 2,       // the package cannot be read or fails its check; nothing installed
  kExitCannotCreate = 3,         // a file could not be created, replaced or written whole
  kExitUnusableDestination = 4,  // the folder is empty, too long, not a full path or a drive's root
  kExitProductRunning = 5,       // the product, or another run of this installer, is running
};

// Describes the package in a dialog that is never shown, takes its
// defaults (with the folder of /D= in place of the proposed one), installs
// as OK would and returns the exit code. A refused command line ends it
// with kExitWrongArguments before anything else, its reason in the log.
int RunSilentInstallation(HINSTANCE instance, const CommandLine& command_line);
