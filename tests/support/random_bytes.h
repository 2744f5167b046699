// Reproducible test data: the same seed gives the same bytes on every
// machine and in both build trees.
#pragma once

#include <cstdint>
#include <random>
#include <string>

// `n` bytes drawn evenly from the first `alphabet` byte values.
inline std::string RandomBytes(size_t n, uint32_t seed, uint32_t alphabet = 256) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random() % alphabet);
  return bytes;
}
