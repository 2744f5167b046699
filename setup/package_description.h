// The description pass: the first pass over the setup's own archive checks
// every entry and reads the few that describe the package: FILE_ID.DIZ (title
// and version), an .INF entry (package settings) and the .LNG language files.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "archive/extract_context.h"

// What the first call of DescribeEntry leaves in the first byte of the name
// buffer; the second call tells the description entries apart by it.
enum DescriptionMarker : char {
  kMarkTitle = 1,     // FILE_ID.DIZ at the archive's top level
  kMarkSettings = 2,  // a name ending in ".INF"
  kMarkLanguage = 3,  // a name ending in ".LNG"
};

// The font of the title control but for its height, which is set from the
// display at run time.
extern const LOGFONTA TitleFont;

// One description pass: the callback's user pointer. Zero-filled but for
// the dialog before the pass. The names it meets go into
// SetupState.catalogue, emptied when the pass starts.
struct DescriptionPass {
  HWND dialog;
  int refused;  // EntryNameFault of the name that ended the pass, else 0
};

// Runs the description pass over the archive of the file at `path`.
// Returns the pass's result; a name the installer cannot write as it is
// (InstallerNameFault, or one taken by an earlier entry) ends the pass and
// gives kExtractBadEntry. `progress`, when given, follows the pass.
int DescribePackage(HWND dialog, const char* path, PassProgress* progress);

// The entry callback of the pass; the user pointer is a DescriptionPass.
// Description entries are read into memory and handed back; every other
// entry is only checked. Returns 0, so the whole archive is checked,
// unless the name is refused.
int DescribeEntry(char* name, const uint8_t* data, uint32_t size, void* user);

// Shows the title and version from the first line of FILE_ID.DIZ in the
// title control and after the dialog's title, and reads the line into
// SetupState (ReadTitleLine).
void ShowPackageTitle(HWND dialog, const char* text);

// Adds the language named by a .LNG file (ANSI, or UTF-16 with its byte-order
// mark; `size` bytes of `data`) to the dialog's list, under the code the
// entry's name carries before ".LNG".
void AddLanguageFromFile(HWND dialog, const uint8_t* data, uint32_t size, const char* name);
