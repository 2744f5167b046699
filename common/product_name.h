// The product name (the package's "Group" setting, else the title of its
// FILE_ID.DIZ) becomes a folder name (the proposed destination, the
// Start-Menu group), the name of every shortcut file and a key below the
// system's Uninstall key. The installer and mksetup judge it by these rules.
#pragma once

// Cuts the blanks and dots that end `name`. Windows drops them from folder
// names but keeps them before ".lnk", so a name "Demo " would make the
// folder "Demo" and the shortcut "Demo .lnk".
void TrimProductName(char* name);

// True when `name` can stand as one folder name, one file name and one
// registry key name: not empty, not ending in a blank or a dot, and free of
// path separators, "..", control characters and : * ? " < > |. Anything
// else could name a folder outside the one meant, or none at all.
bool IsUsableProductName(const char* name);
