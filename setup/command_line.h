// The arguments an administrator gives Setup.exe to install without
// questions. A run without /S ignores its command line.
#pragma once

#include <cstddef>

struct CommandLine {
  bool silent;                // /S: no dialog, no message box
  char wrong_argument[64];    // with /S: the first argument not understood, cut
  char destination[260];      // /D=FOLDER, the rest of the line; empty when not given
  char log_path[260];         // /LOG=FILE; empty when not given
};

// Reads the arguments after the program's name. Names are matched in any
// case. /D= takes everything after it, spaces included, and so comes last;
// other arguments are separated by blanks and may be quoted. A value too
// long for its field is a wrong argument, not a cut one.
void ParseCommandLine(const char* text, CommandLine* parsed);
