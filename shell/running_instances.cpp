#include "shell/running_instances.h"

#include "archive/memory_buffer.h"

namespace {

// How long one window may take to answer WM_CLOSE; it may be asking its
// user whether to save, which the thread need not wait for.
constexpr UINT kCloseAnswerWait = 10000;

// The windows of the class are found first and asked after: a window asked
// may go, and a search that went on from it would then stop.
constexpr int kMostWindows = 32;

constexpr DWORD kLookAgainPause = 100;

}  // namespace

DWORD WINAPI CloseRunningInstances(LPVOID parameter) {
  char* window_class = static_cast<char*>(parameter);
  HWND found[kMostWindows];
  int count = 0;
  for (HWND window = nullptr;
       count < kMostWindows && (window = FindWindowExA(nullptr, window, window_class, nullptr)) != nullptr;) {
    found[count++] = window;
  }
  // A window asked once is not asked again: one that refused, or is still
  // asking its user, would only ask again.
  for (int i = 0; i < count; ++i) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(found[i], WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, kCloseAnswerWait, &answer);
  }
  FreeStorage(window_class);
  return 0;
}

bool IsProductRunning(const char* window_class) {
  return window_class[0] != '\0' && FindWindowExA(nullptr, nullptr, window_class, nullptr) != nullptr;
}

bool WaitForProductToClose(const char* window_class, DWORD wait_ms) {
  for (DWORD start = GetTickCount(); IsProductRunning(window_class); Sleep(kLookAgainPause)) {
    if (GetTickCount() - start >= wait_ms) return false;
  }
  return true;
}
