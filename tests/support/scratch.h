// Paths for tests: the real-archive corpus beside the repository, and a
// scratch folder of each test binary's own.
#pragma once

#include <string>

// Full path of a corpus file, or "" when the corpus is not present (a clone
// without the shared folder); tests then skip.
std::string CorpusFile(const char* name);

// A fresh, empty folder for the running test, named after its suite and
// name, under the build tree. Returned with a trailing separator.
std::string ScratchFolder();

// Whole file as bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
