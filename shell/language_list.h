// The check-box list of installation languages (list view 1010): one column,
// one item per language with its name as text and its packed code as item
// data. An item's check box is its state image: 2 checked, 1 unchecked.
#pragma once

#include <windows.h>

#include <cstdint>

// One column of a list view. A list of them ends with text_id 0.
struct ColumnSpec {
  int16_t text_id;  // string id of the column title
  int32_t width;    // pixels; negative: the width the other columns leave
  uint32_t format;  // the two lowest bits align: 0 left, 1 right, 2 centred
};

extern const ColumnSpec LanguageColumns[];

constexpr UINT kStateUnchecked = 1;
constexpr UINT kStateChecked = 2;

void InsertColumns(HWND list, const ColumnSpec* columns);
void SetColumnTexts(HWND list, const ColumnSpec* columns);

// Appends a checked item; the list's sort style places it by its text.
void AddLanguageItem(HWND list, const char* text, uint32_t code);

// English and German, both checked, named in the user's language.
void AddBuiltInLanguages(HWND list);

// The item's code, or 0 when the item cannot be read.
uint32_t GetItemCode(HWND list, int index);

// Index of the first item carrying `code`, or -1.
int FindLanguageItem(HWND list, uint32_t code);

// Check state of one item (0 when it has no check-box image).
UINT GetItemCheckImage(HWND list, int index);
// Sets the check state of one item, or of all items with index -1.
void SetItemCheckImage(HWND list, int index, UINT image);

// The commands of the list's context menu; nothing for a null list.
void CheckAllItems(HWND list);
void UncheckAllItems(HWND list);
void InvertItemChecks(HWND list);
