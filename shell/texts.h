// Looking up user-visible texts by string id.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "shell/language.h"

// Copies the text of `id` into `out` (`size` >= 1 bytes), cut to size - 1
// characters, with "\t" escapes made tabs. An unknown id or id 0 gives the
// empty text; a null table or a size of 0 leaves `out` untouched.
void LookupText(const LanguageTable* table, int16_t id, char* out, size_t size);

// Replaces each backslash-t pair in `text` by one tab character, in place.
void ExpandTabEscapes(char* text);

// Labels a window from g_setup_state->language_table: the first id of the
// zero-terminated list is the window title (when not 0), each further id
// the text of the child control with that id.
void ApplyDialogTexts(HWND window, const int16_t* ids);
