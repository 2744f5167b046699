// The built-in language tables and the choice of one from the system's
// default language.
#pragma once

#include <cstdint>

// One text of a table. The string id doubles as the control id of the dialog
// control that shows the text.
struct LanguageRecord {
  int16_t id;
  const char* text;  // Windows-1252, zero-terminated
};

// Record 0 holds id 0 and the table's language code ("US", "DE", "IT"); then
// come the texts, each id once; a record with id 0 and a null text ends it.
constexpr int kLanguageRecordCount = 22;
struct LanguageTable {
  LanguageRecord records[kLanguageRecordCount];
};

extern const LanguageTable EnglishTable;
extern const LanguageTable GermanTable;
extern const LanguageTable ItalianTable;

// English, German, Italian, then null. The first is the fallback.
extern const LanguageTable* const LanguageTableList[];

// Writes the code of the system default language ("DE", "IT", else "US") and
// a terminator into `code` (at least 3 bytes).
void LanguageCodeFromSystem(char* code);

// Sets g_setup_state->language_code (when empty) from the system and
// g_setup_state->language_table to the matching table, English when none.
void SelectLanguage();
