#include "shell/message_pump.h"

#include <windows.h>

bool ServeWaitingMessages(bool serve_mouse) {
  bool escape = false;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    UINT kind = message.message;
    if (kind == WM_QUIT) {
      // For the loop that runs the window once the step is over.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (kind >= WM_KEYFIRST && kind <= WM_KEYLAST) {
      if ((kind == WM_KEYDOWN || kind == WM_SYSKEYDOWN) && message.wParam == VK_ESCAPE) escape = true;
      continue;
    }
    if (!serve_mouse && kind >= WM_MOUSEFIRST && kind <= WM_MOUSELAST) continue;
    DispatchMessageA(&message);
  }
  return escape;
}
