// Answers the message boxes that the test's own thread shows, from a second
// thread, and keeps what each box said.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct SeenMessageBox {
  std::string caption;
  std::string text;
};

class MessageBoxWatcher {
 public:
  // Every box that appears on the calling thread is read and answered with
  // the button `answer` (IDOK, IDYES, IDNO...).
  explicit MessageBoxWatcher(int answer = IDOK);
  ~MessageBoxWatcher();

  // Stops watching; the boxes seen so far.
  const std::vector<SeenMessageBox>& Finish();

 private:
  void Watch();

  DWORD thread_id_;
  int answer_;
  std::atomic<bool> stop_{false};
  std::vector<SeenMessageBox> seen_;
  std::thread watcher_;
};
