// The one record of shared settings of the setup program. WinMain owns it for
// the whole run; everything else borrows it through g_setup_state.
#pragma once

#include <windows.h>

#include "setup/entry_catalogue.h"
#include "setup/language.h"

// Text fields are zero-terminated ANSI texts; a field of n + 1 bytes holds up
// to n characters. Every field is empty until the step that fills it, and
// nothing is written after the description pass except a one-time default
// of window_class by dialog initialisation.
struct SetupState {
  HICON icon;                           // icon resource 1; may stay null
  char language_code[4];                // "DE", "IT" or "US"
  const LanguageTable* language_table;  // never null once start-up has run
  char package_id[4];                   // .INF "ID": registry value name
  char group[32];                       // product name (.INF "Group" or title);
                                        // empty unless it can name a folder
  char version[32];                     // the version the title line gives
  char window_class[32];                // class of running product windows
  char exe_name[32];                    // file name of the main program
  char publisher[64];                   // .INF "Publisher", for the uninstall entry
  char lng_base_name[32];               // language files' base name
  char module_path[260];                // the setup program's own file
  bool notice_off;                      // .INF "Notice=no": no notice 3002
  EntryCatalogue catalogue;             // the file entries the description pass met
};
static_assert(sizeof(SetupState) == 520 || sizeof(void*) != 4, "the record's fields and their sizes");

// Valid from the first step of start-up to the last step of tear-down; null
// outside that span.
extern SetupState* g_setup_state;

// Fills the start-up fields of the allocated record: common controls, then
// the record cleared, icon, language and module_path.
void InitSetupState(HINSTANCE instance);
