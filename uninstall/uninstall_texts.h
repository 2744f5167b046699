// What the uninstaller says, in English, German and Italian. "%1" and "%2"
// in a text stand for the two names AppendComposed fills in.
#pragma once

#include <cstddef>

// A question or report: a sentence with two paths in it.
constexpr size_t kMessageSize = 1024;

struct UninstallTexts {
  const char* language_code;  // as LanguageCodeFromSystem gives it
  const char* caption;        // of every box
  const char* question;       // %1 the product, %2 its folder
  const char* in_use;         // %1 the file's name
  const char* removed;        // %1 the product
  const char* folder_stays;   // follows `removed`; %2 the folder
  const char* at_restart;     // follows `removed`
  const char* damaged;        // the uninstaller's own record is unusable
  const char* no_copy;        // %1 the product: the copy cannot be made or started
};

// The texts of the system's default language, chosen as Setup.exe chooses
// its own: German and Italian systems get theirs, every other English.
const UninstallTexts& TextsOfSystemLanguage();

// Appends `pattern` to the text in `out` (`size` bytes) with "%1" and "%2"
// replaced by `first` and `second`; whatever does not fit is cut.
void AppendComposed(char* out, size_t size, const char* pattern, const char* first, const char* second);
