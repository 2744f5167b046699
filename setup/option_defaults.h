// The destination folder and the option boxes as the dialog first shows
// them, set once the package has been described.
#pragma once

#include <windows.h>

#include <cstddef>

// Proposes `destination`, or when that is null or empty the default
// destination. A new installation proposes every shortcut (Quick Launch
// only where that folder exists, else its box is hidden). An installation
// over an existing folder proposes none and keeps the languages already
// installed there.
void FillDestinationAndOptions(HWND dialog, const char* destination);

// Unchecks every additional language (not English or German) whose language
// file is missing from `folder`.
void UncheckMissingLanguages(HWND dialog, const char* folder);

// folder\<lng_base_name>_<code>.LNG into `out` (`size` bytes), cut to fit.
void MakeLanguageFilePath(const char* folder, const char* code, char* out, size_t size);
