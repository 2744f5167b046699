// The progress line of mksetup build: files and bytes read of the total,
// percent, rate and time left, drawn on standard error while it is a
// terminal and redrawn in place at most ten times a second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

struct ProgressLine {
  std::ostream* err = nullptr;
  size_t files_total = 0;
  uint64_t bytes_total = 0;
  double started = 0;  // seconds on the caller's clock
  // When the line was last drawn; `started` before the first time, so that
  // a build done within a tenth of a second draws no line at all.
  double drawn_at = 0;
  size_t drawn_width = 0;  // characters on the screen now, blanked by the next draw
};

// The line's text after `elapsed` seconds, `files_done` files and
// `bytes_done` bytes in. Rate and time left count from the average since the
// start, which stays steady while files of very different kinds pass.
std::string ProgressText(size_t files_done, size_t files_total, uint64_t bytes_done, uint64_t bytes_total,
                         double elapsed);

// Redraws the line unless it was drawn less than a tenth of a second before
// `now`: a build reads thousands of blocks a second, and a terminal that
// draws each would slow it down.
void ShowProgress(ProgressLine* line, size_t files_done, uint64_t bytes_done, double now);

// Blanks the line and puts the cursor at its start, so that whatever is
// printed next stands alone; ShowProgress draws it again once its tenth of
// a second is up, so that a line printed for every file does not make the
// line flicker.
void ClearProgress(ProgressLine* line);
