// Entry names as mksetup shows them: the archive keeps Windows-1252 bytes,
// which a UTF-8 terminal would show as broken characters.
#pragma once

#include <string>

// The Windows-1252 text in UTF-8.
std::string Utf8FromWindows1252(const std::string& text);

// An archive name for the user's terminal: UTF-8 on POSIX; on Windows the
// bytes as they are, which are the ANSI code page's.
std::string ShownName(const std::string& name);
