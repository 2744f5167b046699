// Paths for tests: the real-archive corpus beside the repository, and a
// scratch folder of each test binary's own.
#pragma once

#include <string>

// Full path of a corpus file, or "" when the corpus is not present (a clone
// without the shared folder); tests then skip, saying so.
std::string CorpusFile(const char* name);
// Why a test that needs the corpus cannot run: where it was looked for.
std::string NoCorpus();

// True under CI (the CI variable set, as .ci/run sets it): there every
// fixture a test needs is made or present, and a missing one is a fault.
bool UnderCi();

// Skips the running test, giving `why`, unless `present`; under CI the test
// fails instead, so that a missing fixture cannot pass for a green run.
#define TOLVEN_SKIP_UNLESS(present, why)               \
  do {                                                 \
    if (!(present)) {                                  \
      if (UnderCi()) FAIL() << (why) << " (under CI)"; \
      GTEST_SKIP() << (why);                           \
    }                                                  \
  } while (0)

// A fresh, empty folder for the running test, named after its suite and
// name, under the build tree. Returned with a trailing separator.
std::string ScratchFolder();

// Whole file as bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
