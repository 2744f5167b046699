// The product's running copies, found by the window class its package
// names: asked to close while the dialog is open, and looked for again
// before any file is changed.
#pragma once

#include <windows.h>

// Thread: asks every top-level window of the class named by `parameter` (a
// copy the thread owns and frees) to close, once each, as the user would:
// WM_CLOSE, so that a program with unsaved work can ask about it, and sent
// with a time limit, so that a hung window cannot hold the thread. A window
// that refuses stays; IsProductRunning sees it.
DWORD WINAPI CloseRunningInstances(LPVOID parameter);

// True while a top-level window of `window_class` exists; false for an
// empty class.
bool IsProductRunning(const char* window_class);

// Waits up to `wait_ms` for the product's windows to go; true when none is
// left.
bool WaitForProductToClose(const char* window_class, DWORD wait_ms);
