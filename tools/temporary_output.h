// The file a build writes before it becomes the output: beside the output,
// under a name of this process's own, renamed into place only once whole
// and sealed. Until then it carries the seal's building record, which the
// installer and mksetup test refuse, and it never outlives a failed build:
// it is removed on every way out of the build, on an interrupt or a
// termination signal too (POSIX), and a later build of the same output
// removes what builds that were killed outright left behind.
#pragma once

#include <string>

class TemporaryOutput {
 public:
  explicit TemporaryOutput(const std::string& output);
  ~TemporaryOutput();
  TemporaryOutput(const TemporaryOutput&) = delete;
  TemporaryOutput& operator=(const TemporaryOutput&) = delete;

  const std::string& path() const { return path_; }

  // Renames the file into place. Returns "" or what went wrong; the file is
  // removed either way.
  std::string Commit();

 private:
  std::string output_;
  std::string path_;
};

// The names that builds of `output` write before they finish, with the
// process id at their end.
std::string TemporaryPrefix(const std::string& output);
