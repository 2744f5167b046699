// The record of one installation run: created zero-filled for each press of
// OK, lent to the placement callback as the pass's user pointer and to the
// Start-Menu group step.
#pragma once

#include <windows.h>

#include <cstdint>

#include "install/install_progress.h"
#include "install/undo_journal.h"

// All texts are zero-terminated ANSI and written only through the bounded
// helpers with the field's size as bound.
struct InstallContext {
  HWND dialog;                  // owner of message boxes; holds controls 1010, 1047
  int32_t german_count;         // entries accepted for "DE"; only tested for != 0
  char edition_prefix[8];       // "9x" or "xp": the edition item's 4 data bytes
  char destination[260];        // folder entries are written into
  char main_exe[32];            // file name of the main program
  char license_file[32];        // "LICENSE.TXT" as stored, once placed
  char order_file[32];          // "ORDER.HTM" as stored, once placed
  char order_file_de[32];       // "BESTELL.HTM" as stored, once placed
  char uninstaller[32];         // "UnInst.exe" as stored, once placed
  char temp_folder[260];        // numbered temporary folder; empty unless used
  char final_destination[260];  // the user's folder while the fallback runs
  // Tick count when the status line last changed, 0 before the first file
  // of a pass: the line follows the files at most every kStatusInterval ms.
  uint32_t status_shown_at;
  uint64_t installed_bytes;  // of the files the pass has placed so far
  UndoJournal undo;          // what this run changed in the user's folder
  UndoJournal* changes;      // the journal PlaceEntry keeps aside through:
                             // &undo, or null while writing into the temporary folder
  InstallProgress progress;  // the dialog while the run lasts
};
static_assert(sizeof(InstallContext) == 1264 || sizeof(void*) != 4, "the record's fields and their sizes");

// Milliseconds between two changes of the status line: often enough to be
// seen moving, rarely enough that small files do not wait on the display.
constexpr uint32_t kStatusInterval = 50;
