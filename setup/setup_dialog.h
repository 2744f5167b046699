// The setup dialog (template 1000) that WinMain runs modally.
#pragma once

#include <windows.h>

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
