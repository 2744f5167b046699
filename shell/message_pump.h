// Serving the thread's windows while a long step (a pass over the
// package) runs on it, so that they repaint and answer.
#pragma once

// Dispatches every message waiting for this thread. Keyboard input is
// taken and dropped, not left for later (a key pressed during an
// installation must not answer the box that follows it); true when Escape
// was among it. Mouse input goes through when `serve_mouse` is set (the
// windows have disabled what must not be used meanwhile), else it is
// dropped too (once the step is over, a click made during it must not
// reach the controls enabled again).
bool ServeWaitingMessages(bool serve_mouse);
