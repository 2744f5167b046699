// The setup dialog (template 1000) that WinMain runs modally.
#pragma once

#include <windows.h>

#include <cstdint>

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The ids ApplyDialogTexts labels the dialog with: the title, then controls.
extern const int16_t DialogTextIds[];
// The commands of the language list's context menu, also their text ids.
extern const int16_t ContextMenuIds[];

// Fills every control, describes the package from the archive and starts
// closing running instances of the product; a damaged package is reported
// and the dialog closes.
void OnInitSetupDialog(HWND dialog);

// OnInitSetupDialog without the report: returns the description pass's
// result (0 also for a dialog without a language list, which describes
// nothing). `destination` stands in for the proposed folder unless it is
// null or empty; the options are those proposed for it.
int PrepareSetupDialog(HWND dialog, const char* destination);

// Moves the window to the middle of the desktop.
void CenterOnDesktop(HWND window);

// The check/uncheck/invert menu at the mouse cursor.
void ShowListContextMenu(HWND dialog);

// Lets the user pick the folder in edit `edit_id`, starting at the folder
// it holds (or its parent).
void BrowseForDestination(HWND dialog, int edit_id);
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lparam, LPARAM data);
