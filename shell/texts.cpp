#include "shell/texts.h"

#include <cstring>

#include "shell/setup_state.h"

void LookupText(const LanguageTable* table, int16_t id, char* out, size_t size) {
  if (table == nullptr || size == 0) return;
  out[0] = '\0';
  // Record 0 is the language code; the scan stops at the wanted id or at the
  // end record, and id 0 (or an unknown id) finds the end record's null text.
  const LanguageRecord* record = &table->records[1];
  while (record->id != id && record->id != 0) ++record;
  if (record->text == nullptr) return;
  size_t length = strlen(record->text);
  size_t limit = size - 1;
  if (length > limit) length = limit;
  memcpy(out, record->text, length);
  out[length] = '\0';
  ExpandTabEscapes(out);
}

void ExpandTabEscapes(char* text) {
  // One left-to-right pass: the search resumes just after each new tab.
  char* at = text;
  while ((at = strstr(at, "\\t")) != nullptr) {
    *at = '\t';
    memmove(at + 1, at + 2, strlen(at + 2) + 1);
    ++at;
  }
}

void ApplyDialogTexts(HWND window, const int16_t* ids) {
  if (ids == nullptr || g_setup_state == nullptr || g_setup_state->language_table == nullptr) return;
  const LanguageTable* table = g_setup_state->language_table;
  char text[260];
  if (ids[0] == 0) return;  // an empty list
  LookupText(table, ids[0], text, sizeof text);
  SetWindowTextA(window, text);
  for (const int16_t* id = ids + 1; *id != 0; ++id) {
    LookupText(table, *id, text, sizeof text);
    SetDlgItemTextA(window, *id, text);
  }
}
