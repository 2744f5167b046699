// The edition choice (combo box 1002). Each item shows an edition's name and
// carries as item data the packed folder prefix of that edition's files in
// the archive.
#pragma once

#include <windows.h>

// Adds an edition written as "prefix/shown text", e.g.
// "xp/XP/Vista Edition": only the first "/" splits. An edition without
// "/" or with a prefix of 4 or more characters adds nothing.
void AddEditionItem(HWND combo, const char* edition);

// Both editions, the one for the running Windows family selected.
void FillEditionCombo(HWND dialog);
