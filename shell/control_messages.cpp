#include "shell/control_messages.h"

LRESULT SendToControl(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  if (control == nullptr) return 0;
  return SendMessageA(control, message, wparam, lparam);
}

LRESULT ComboAddItem(HWND combo, const char* text, uint32_t data) {
  LRESULT index = SendToControl(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  ComboSetItemData(combo, static_cast<WPARAM>(index), data);
  return index;
}

LRESULT ComboSetItemData(HWND combo, WPARAM index, uint32_t data) {
  return SendToControl(combo, CB_SETITEMDATA, index, static_cast<LPARAM>(data));
}

LRESULT ComboSetCurSel(HWND combo, WPARAM index) { return SendToControl(combo, CB_SETCURSEL, index, 0); }

LRESULT ComboGetCurSel(HWND combo) { return SendToControl(combo, CB_GETCURSEL, 0, 0); }

LRESULT ComboGetItemData(HWND combo, WPARAM index) { return SendToControl(combo, CB_GETITEMDATA, index, 0); }
