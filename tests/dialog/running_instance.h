// A window of a product's class, owned by the test, on a thread of its own:
// it refuses WM_CLOSE (as a program whose user keeps unsaved work does), or
// answers nothing at all (a hung program), and notes when it is asked to go.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/dialog/setup_probe.h"

class RunningInstance {
 public:
  explicit RunningInstance(const char* window_class, bool hung = false)
      : window_class_(window_class), hung_(hung), release_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this] { Run(); });
    while (!ready_) Sleep(10);
  }
  ~RunningInstance() {
    Close();
    CloseHandle(release_);
  }
  // The window goes, as when its user quits the program.
  void Close() {
    if (!thread_.joinable()) return;
    SetEvent(release_);
    PostThreadMessageA(thread_id_, WM_QUIT, 0, 0);
    thread_.join();
  }
  const char* window_class() const { return window_class_; }
  // When each request came, in ticks; read once the asking program has ended.
  const std::vector<DWORD>& requests() const { return requests_; }
  bool WaitForRequests(int count) const {
    return WaitUntil([&] { return request_count_ >= count; });
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CLOSE) {
      auto* self = reinterpret_cast<RunningInstance*>(GetWindowLongPtrA(window, GWLP_USERDATA));
      if (self != nullptr) {
        self->requests_.push_back(GetTickCount());
        ++self->request_count_;
      }
      return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
  }
  void Run() {
    thread_id_ = GetCurrentThreadId();
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = Procedure;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = window_class_;
    RegisterClassA(&window_class);
    HWND window = CreateWindowA(window_class_, "running product", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists now
    ready_ = true;
    if (hung_) WaitForSingleObject(release_, INFINITE);
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    UnregisterClassA(window_class_, GetModuleHandleA(nullptr));
  }

  const char* window_class_;
  bool hung_;
  HANDLE release_;
  std::thread thread_;
  DWORD thread_id_ = 0;
  std::atomic<bool> ready_{false};
  std::vector<DWORD> requests_;  // written on the window's thread only
  std::atomic<int> request_count_{0};
};
