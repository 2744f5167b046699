#include "setup/language.h"

#include <windows.h>

#include <cstring>

#include "common/bounded_text.h"
#include "setup/setup_state.h"

void LanguageCodeFromSystem(char* code) {
  // The machine-wide setting, compared with its sub-language: only these
  // German and Italian regions get their own tables.
  switch (GetSystemDefaultLangID()) {
    case 0x0407:  // Germany
    case 0x0807:  // Switzerland
    case 0x0C07:  // Austria
    case 0x1007:  // Luxembourg
    case 0x1407:  // Liechtenstein
      memcpy(code, "DE", 3);
      break;
    case 0x0410:  // Italy
    case 0x0810:  // Switzerland
      memcpy(code, "IT", 3);
      break;
    default:
      memcpy(code, "US", 3);
      break;
  }
}

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
