// The message boxes through which the program speaks to the user.
#pragma once

#include <windows.h>

#include <cstdint>

// Shows `text` in a box owned by `owner` (null: the thread's active window).
// The caption is the file-name part of `caption_source`, or the whole of it
// when that part is empty. Returns the box's result; 2 (IDCANCEL) and no
// box when `text` is null or empty. During a silent installation no box
// opens: the text goes to the log, and the result is 1 (IDOK).
int ShowMessage(HWND owner, const char* text, const char* caption_source, UINT type);

// ShowMessage with the text of `id` from g_setup_state->language_table.
int ShowStringMessage(HWND owner, int16_t id, const char* caption_source, UINT type);

// ShowMessage under the dialog's title of `lead` (the product's name, or
// nothing) followed by the text of `id`, which begins where `lead` ends.
int ShowDialogMessage(HWND dialog, const char* lead, int16_t id, UINT type);
