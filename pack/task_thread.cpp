#include "pack/task_thread.h"

#include <utility>

namespace pack {

// hardware_concurrency() is 0 where the count is unknown: one core is assumed.
TaskThread::TaskThread(bool threaded) : threaded_(threaded && std::thread::hardware_concurrency() > 1) {}

TaskThread::~TaskThread() {
  if (!thread_.joinable()) return;
  Wait();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void TaskThread::Start(std::function<void()> task) {
  if (!threaded_) {
    task();
    return;
  }
  if (!thread_.joinable()) thread_ = std::thread(&TaskThread::Loop, this);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    task_ = std::move(task);
  }
  changed_.notify_all();
}

void TaskThread::Wait() {
  if (!threaded_) return;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !task_; });
}

void TaskThread::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || task_; });
    if (quit_) return;
    lock.unlock();
    task_();
    lock.lock();
    task_ = nullptr;
    changed_.notify_all();
  }
}

}  // namespace pack
