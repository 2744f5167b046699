// Runs a pass over archive bytes with a scripted entry callback and records
// every call it gets.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "archive/extract_archive.h"

struct CallbackCall {
  std::string name;  // the name buffer as the callback found it
  bool has_data;
  std::string data;  // on a second call: the entry's bytes, without the 0
  bool terminated;   // on a second call: a 0 byte followed the bytes
  uint32_t size;
};

class PassRecorder {
 public:
  // Decides the answer for an entry on its first call: returns what to leave
  // in the name buffer, and whether to stop the pass instead.
  using Answer = std::function<std::string(const std::string& name, bool* stop)>;

  explicit PassRecorder(Answer answer) : answer_(std::move(answer)) {}

  // Writes `archive` to `path` and runs one pass over it.
  int Run(const std::string& path, const std::string& archive);
  // Runs one pass over an existing file.
  int RunFile(const std::string& path);

  std::vector<CallbackCall> calls;
  uint32_t failure = 0;
  std::vector<std::string> stop_on_second;  // names whose second call stops the pass
  PassProgress* progress = nullptr;         // follows the pass when set

 private:
  static int Callback(char* name, const uint8_t* data, uint32_t size, void* user);
  Answer answer_;
};

// Answers that every test needs.
PassRecorder::Answer AllSkipped();
PassRecorder::Answer AllInMemory();
PassRecorder::Answer AllVerified();
PassRecorder::Answer AllToFolder(const std::string& folder);  // flat, '\' -> '_'
