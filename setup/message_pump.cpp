#include "setup/message_pump.h"

#include <windows.h>

bool ServeWaitingMessages() {
  bool escape = false;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // For the loop that runs the window once the step is over.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) {
      bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
      if (down && message.wParam == VK_ESCAPE) escape = true;
      continue;
    }
    DispatchMessageA(&message);
  }
  return escape;
}

void DropWaitingInput() {
  MSG message;
  while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (PeekMessageA(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
}
