// Timing helpers that the benchmark programs share: each measures with its
// own clock (a thread's or a process's processor time), given as a function.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

// MB/s (10^6 bytes per second) of `work`, which handles `bytes` bytes per
// call, over one round of at least `seconds` by `clock`.
template <typename Clock, typename Work>
double Round(const Clock& clock, uint64_t bytes, const Work& work, double seconds) {
  uint64_t calls = 0;
  double start = clock();
  double elapsed = 0;
  do {
    work();
    ++calls;
    elapsed = clock() - start;
  } while (elapsed < seconds);
  return static_cast<double>(bytes) * calls / elapsed / 1e6;
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}
