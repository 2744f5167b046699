#include "shell/language_list.h"

#include <commctrl.h>

#include "resources/resource_ids.h"
#include "shell/control_messages.h"
#include "shell/packed_code.h"
#include "shell/setup_state.h"
#include "shell/texts.h"

const ColumnSpec LanguageColumns[] = {
    {IDC_LANGUAGES, -1, LVCFMT_LEFT},
    {0, 0, 0},
};

namespace {

// Room a filling column leaves for the vertical scroll bar, and the least
// width it gets however narrow the list is.
constexpr int kScrollBarMargin = 4;
constexpr int kMinFillWidth = 100;

int FillWidth(HWND list, const ColumnSpec* columns) {
  int fixed = 0;
  for (const ColumnSpec* column = columns; column->text_id != 0; ++column) {
    if (column->width > 0) fixed += column->width;
  }
  RECT client = {};
  GetClientRect(list, &client);
  int width = (client.right - client.left) - fixed - (GetSystemMetrics(SM_CXVSCROLL) + kScrollBarMargin);
  return width < kMinFillWidth ? kMinFillWidth : width;
}

}  // namespace

void InsertColumns(HWND list, const ColumnSpec* columns) {
  int index = 0;
  for (const ColumnSpec* column = columns; column->text_id != 0; ++column, ++index) {
    char empty[1] = "";
    LVCOLUMNA lv_column = {};
    lv_column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    lv_column.fmt = static_cast<int>(column->format & 3);
    lv_column.cx = column->width < 0 ? FillWidth(list, columns) : column->width;
    lv_column.pszText = empty;
    lv_column.iSubItem = 0;
    SendToControl(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&lv_column));
  }
}

void SetColumnTexts(HWND list, const ColumnSpec* columns) {
  int index = 0;
  for (const ColumnSpec* column = columns; column->text_id != 0; ++column, ++index) {
    char text[64];
    LookupText(g_setup_state->language_table, column->text_id, text, 63);
    LVCOLUMNA lv_column = {};
    lv_column.mask = LVCF_TEXT;
    lv_column.pszText = text;
    SendToControl(list, LVM_SETCOLUMNA, index, reinterpret_cast<LPARAM>(&lv_column));
  }
}

void AddLanguageItem(HWND list, const char* text, uint32_t code) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = static_cast<int>(SendToControl(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<char*>(text);
  item.lParam = static_cast<LPARAM>(code);
  int index = static_cast<int>(SendToControl(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  // A failed insert gives -1, which as an index would check every item.
  if (index >= 0) SetItemCheckImage(list, index, kStateChecked);
}

void AddBuiltInLanguages(HWND list) {
  char name[31];
  LookupText(g_setup_state->language_table, 2001, name, sizeof name);
  AddLanguageItem(list, name, kCodeEnglish);
  LookupText(g_setup_state->language_table, 2002, name, sizeof name);
  AddLanguageItem(list, name, kCodeGerman);
}

uint32_t GetItemCode(HWND list, int index) {
  char text[260];
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  if (SendToControl(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) == 0) return 0;
  return static_cast<uint32_t>(item.lParam);
}

int FindLanguageItem(HWND list, uint32_t code) {
  int count = static_cast<int>(SendToControl(list, LVM_GETITEMCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    if (GetItemCode(list, index) == code) return index;
  }
  return -1;
}

UINT GetItemCheckImage(HWND list, int index) {
  LRESULT state = SendToControl(list, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK);
  return static_cast<UINT>((state & LVIS_STATEIMAGEMASK) >> 12);
}

void SetItemCheckImage(HWND list, int index, UINT image) {
  LVITEMA item = {};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(image);
  SendToControl(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void CheckAllItems(HWND list) { SetItemCheckImage(list, -1, kStateChecked); }

void UncheckAllItems(HWND list) { SetItemCheckImage(list, -1, kStateUnchecked); }

void InvertItemChecks(HWND list) {
  if (list == nullptr) return;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  int count = static_cast<int>(SendToControl(list, LVM_GETITEMCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    // An item without a check-box image is treated as checked: it becomes
    // unchecked and so gets a box.
    UINT image = GetItemCheckImage(list, index) == kStateUnchecked ? kStateChecked : kStateUnchecked;
    SetItemCheckImage(list, index, image);
  }
  SetCursor(previous);
}
