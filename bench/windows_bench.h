// What the Windows benchmarks share besides the timing round: their files in
// the temporary folder, and wall time (most of an installation's cost lies
// in the system's service process, which the process's own clock misses).
#pragma once

#include <windows.h>

#include <string>

inline std::string TempPath(const char* name) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  return std::string(folder) + name;
}

inline double WallSeconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}
