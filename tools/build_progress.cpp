#include "tools/build_progress.h"

#include <cstdio>

namespace {

constexpr double kRedrawSeconds = 0.1;
constexpr double kMiB = 1024.0 * 1024.0;

// m:ss, or h:mm:ss from an hour on.
std::string Duration(double seconds) {
  unsigned long whole = static_cast<unsigned long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lu:%02lu:%02lu", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lu:%02lu", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

std::string ProgressText(size_t files_done, size_t files_total, uint64_t bytes_done, uint64_t bytes_total,
                         double elapsed) {
  // A file that grows while it is read is refused once read, and may
  // count for more than the scan found until then.
  if (bytes_done > bytes_total) bytes_done = bytes_total;
  // Empty files alone still make progress, file by file.
  double part = bytes_total > 0   ? static_cast<double>(bytes_done) / bytes_total
                : files_total > 0 ? static_cast<double>(files_done) / files_total
                                  : 1.0;
  char text[160];
  int length = std::snprintf(text, sizeof text, "%zu/%zu files, %.1f of %.1f MiB, %d %%", files_done, files_total,
                             bytes_done / kMiB, bytes_total / kMiB, static_cast<int>(part * 100));
  std::string line(text, static_cast<size_t>(length));
  if (elapsed <= 0 || bytes_done == 0) return line + ", -- MiB/s";
  double rate = bytes_done / elapsed;
  std::snprintf(text, sizeof text, ", %.1f MiB/s, %s left", rate / kMiB,
                Duration((bytes_total - bytes_done) / rate).c_str());
  return line + text;
}

void ShowProgress(ProgressLine* line, size_t files_done, uint64_t bytes_done, double now) {
  if (now - line->drawn_at < kRedrawSeconds) return;
  line->drawn_at = now;
  std::string text = ProgressText(files_done, line->files_total, bytes_done, line->bytes_total, now - line->started);
  // A shorter line than the last leaves none of the last one's end behind.
  size_t width = text.size();
  if (text.size() < line->drawn_width) text.append(line->drawn_width - text.size(), ' ');
  line->drawn_width = width;
  *line->err << "\r" << text << std::flush;
}

void ClearProgress(ProgressLine* line) {
  if (line->drawn_width == 0) return;
  *line->err << "\r" << std::string(line->drawn_width, ' ') << "\r" << std::flush;
  line->drawn_width = 0;
}
