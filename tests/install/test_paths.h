// Scratch paths in the form Windows itself reports paths: Wine hands the
// build tree over with forward slashes, the system answers with backslashes.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/scratch.h"

// ScratchFolder() with backslashes only, without its trailing separator.
inline std::string WindowsScratchFolder() {
  std::string folder = ScratchFolder();
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  folder.pop_back();
  return folder;
}

// Sets an environment variable of the process for the life of this object;
// programs it starts inherit it.
class EnvironmentVariableForTest {
 public:
  EnvironmentVariableForTest(const char* name, const std::string& value) : name_(name) {
    char saved[1024] = "";
    had_value_ = GetEnvironmentVariableA(name, saved, sizeof saved) != 0;
    saved_ = saved;
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~EnvironmentVariableForTest() { SetEnvironmentVariableA(name_, had_value_ ? saved_.c_str() : nullptr); }

 private:
  const char* name_;
  std::string saved_;
  bool had_value_;
};

// Points the process's temporary folder (TMP, which Windows asks first) at
// `folder` for the life of this object.
class TemporaryFolderForTest : public EnvironmentVariableForTest {
 public:
  explicit TemporaryFolderForTest(const std::string& folder) : EnvironmentVariableForTest("TMP", folder) {}
};

// Makes `folder` the process's current folder for the life of this object;
// programs it starts inherit it.
class CurrentFolderForTest {
 public:
  explicit CurrentFolderForTest(const std::string& folder) {
    char saved[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof saved, saved);
    saved_ = saved;
    SetCurrentDirectoryA(folder.c_str());
  }
  ~CurrentFolderForTest() { SetCurrentDirectoryA(saved_.c_str()); }

 private:
  std::string saved_;
};

// Keeps a folder of the profile out of the way for the life of this object:
// moves an existing one aside under another name, and afterwards removes the
// (empty) folder a test made in its place and puts the original back.
class FolderHiddenForTest {
 public:
  explicit FolderHiddenForTest(const std::string& folder) : folder_(folder), aside_(folder + " (hidden by test)") {
    hidden_ = MoveFileA(folder_.c_str(), aside_.c_str()) != 0;
  }
  ~FolderHiddenForTest() {
    RemoveDirectoryA(folder_.c_str());
    if (hidden_) MoveFileA(aside_.c_str(), folder_.c_str());
  }

 private:
  std::string folder_, aside_;
  bool hidden_;
};
