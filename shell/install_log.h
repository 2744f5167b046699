// A silent installation: no dialog shows and no message box opens; what
// the installation does is written into a plain-text log, one line per
// step, when one was asked for.
#pragma once

// Starts a silent run, with the log at `log_path` (replaced) unless that is
// empty. False when the log cannot be created; the run is not silent then.
bool BeginSilentRun(const char* log_path);

// Closes the log; message boxes open again.
void EndSilentRun();

bool IsSilentRun();

// One line from a wsprintf format, at most 1024 characters; nothing
// without a log.
void LogLine(const char* format, ...);
