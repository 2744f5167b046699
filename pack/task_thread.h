// A second thread that runs one task at a time for its owner, who waits for
// each before handing over the next. Without a thread (asked for none, or
// one core only) a task runs at once on the caller's thread, so the owner's
// code is the same either way.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace pack {

class TaskThread {
 public:
  explicit TaskThread(bool threaded);
  ~TaskThread();
  TaskThread(const TaskThread&) = delete;
  TaskThread& operator=(const TaskThread&) = delete;

  // Runs `task`; the one before it must have been waited for.
  void Start(std::function<void()> task);
  // Returns once the task started last has finished.
  void Wait();

 private:
  void Loop();

  bool threaded_;
  std::thread thread_;  // started with the first task
  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> task_;  // set while a task waits or runs
  bool quit_ = false;
};

}  // namespace pack
