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

// Points the process's temporary folder (TMP, which Windows asks first) at
// `folder` for the life of this object; programs it starts inherit it.
class TemporaryFolderForTest {
 public:
  explicit TemporaryFolderForTest(const std::string& folder) {
    char value[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", value, sizeof value);
    saved_ = value;
    SetEnvironmentVariableA("TMP", folder.c_str());
  }
  ~TemporaryFolderForTest() { SetEnvironmentVariableA("TMP", saved_.c_str()); }

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
