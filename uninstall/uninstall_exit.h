// The uninstaller's exit codes, which administrators read after /S.
#pragma once

enum UninstallExit {
  kUninstalled = 0,  // everything of the package is gone
  kUninstallWrongArguments = 1,
  kUninstallDamagedRecord = 2,  // its record is missing or damaged: nothing removed
  kUninstallNotAllNow = 3,      // something stays until the next restart, or could not be handed over
  kUninstallDeclined = 4,       // the user said no, or cancelled while a file was in use
};
