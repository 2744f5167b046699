#include "shell/language.h"

#include <windows.h>

#include "shell/setup_state.h"

void SelectLanguage() {
  SetupState* state = g_setup_state;
  state->language_table = LanguageTableList[0];
  if (state->language_code[0] == '\0') LanguageCodeFromSystem(state->language_code);
  for (const LanguageTable* const* table = LanguageTableList; *table != nullptr; ++table) {
    if (lstrcmpiA((*table)->records[0].text, state->language_code) == 0) {
      state->language_table = *table;
      return;
    }
  }
}
