// The one record of shared settings of the setup program. WinMain owns it for
// the whole run; everything else borrows it through g_setup_state.
#pragma once

#include <windows.h>

#include "common/description_text.h"
#include "shell/entry_catalogue.h"
#include "shell/language.h"

// What start-up chooses before anything else runs.
struct StartupFields {
  HICON icon;                           // icon resource 1; may stay null
  char language_code[4];                // "DE", "IT" or "US"
  const LanguageTable* language_table;  // never null once start-up has run
};

// Text fields are zero-terminated ANSI texts; a field of n + 1 bytes holds up
// to n characters. Every field is empty until the step that fills it, and
// nothing is written after the description pass except a one-time default
// of window_class by dialog initialisation. The package's settings
// (package_id, group, window_class, exe_name, lng_base_name and the rest)
// are the PackageDescription that the description pass reads into it.
// Start-up's fields come first: the most used ones then lie within the
// first 128 bytes, which the processor reaches by a one-byte offset, and
// Setup.exe is held to its size.
struct SetupState : StartupFields, PackageDescription {
  char module_path[260];     // the setup program's own file
  EntryCatalogue catalogue;  // the file entries the description pass met
};
static_assert(sizeof(SetupState) == 520 || sizeof(void*) != 4, "the record's fields and their sizes");

// Valid from the first step of start-up to the last step of tear-down; null
// outside that span.
extern SetupState* g_setup_state;

// Fills the start-up fields of the allocated record: common controls, then
// the record cleared, icon, language and module_path.
void InitSetupState(HINSTANCE instance);
