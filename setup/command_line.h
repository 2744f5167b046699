// The arguments an administrator gives Setup.exe to install without
// questions. A run without a silent switch ignores its command line, unless
// it holds a switch: one that Setup does not know, or one that only a
// silent run reads, refuses the run, so that an unattended deployment never
// waits on a dialog that nobody sees.
#pragma once

#include <cstddef>

struct CommandLine {
  bool silent;              // /S, /SILENT, /VERYSILENT or /QUIET: no dialog, no message box
  const char* refusal;      // why the run ends at once with exit code 1; null when it does not
  char wrong_argument[64];  // the argument the refusal names, cut
  char destination[260];    // /D=FOLDER, the rest of the line; empty when not given
  char log_path[260];       // /LOG=FILE; empty when not given
};

// Reads the arguments after the program's name. Switches start with "/" or
// "-" and are matched in any case; one may follow another without a blank
// ("/S/D=C:\Apps"). /D= takes everything after it, spaces included, and so
// comes last; other arguments are separated by blanks and may be quoted. A
// value too long for its field is a wrong argument, not a cut one. Refused:
// a switch not understood; in a silent run any argument not understood;
// /D= or /LOG= without a silent switch.
void ParseCommandLine(const char* text, CommandLine* parsed);

// The refusal of /D= or /LOG= without a silent switch. The ready
// uninstaller starts the copy that works for a run with questions with /D=
// alone, and takes this refusal for that.
extern const char kWithoutSilent[];
