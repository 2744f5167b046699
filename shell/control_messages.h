// Thin wrappers that send one message to a control and return its result.
// A null control handle sends nothing and gives 0, so callers need not test
// whether a control exists.
#pragma once

#include <windows.h>

#include <cstdint>

LRESULT SendToControl(HWND control, UINT message, WPARAM wparam, LPARAM lparam);

// Adds `text` to the combo box and gives the new item `data`; returns the
// item's index.
LRESULT ComboAddItem(HWND combo, const char* text, uint32_t data);
LRESULT ComboSetItemData(HWND combo, WPARAM index, uint32_t data);
LRESULT ComboSetCurSel(HWND combo, WPARAM index);
LRESULT ComboGetCurSel(HWND combo);
LRESULT ComboGetItemData(HWND combo, WPARAM index);
