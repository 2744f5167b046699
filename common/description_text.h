// How the installer reads the entries that describe a package: the title
// line of FILE_ID.DIZ, the settings of an .INF entry and the name a .LNG
// language file gives, each a zero-terminated text in the ANSI code page.
// Only text goes in and fields come out; the description pass shows what
// it read and converts UTF-16 language files before they come here.
#pragma once

#include <cstddef>

// What the description pass reads from the package. Text fields are
// zero-terminated; a field of n + 1 bytes holds up to n characters. Zero
// before the pass.
struct PackageDescription {
  char package_id[4];      // .INF "ID": registry value name
  char group[32];          // product name (.INF "Group" or title);
                           // empty unless it can name a folder
  char version[32];        // the version the title line gives
  char window_class[32];   // class of running product windows
  char exe_name[32];       // file name of the main program
  char publisher[64];      // .INF "Publisher", for the uninstall entry
  char lng_base_name[32];  // language files' base name
  bool notice_off;         // .INF "Notice=no": no notice 3002
  // True while `group` holds the title rather than a "Group" setting: an
  // .INF may come after FILE_ID.DIZ, and its Group then replaces the title
  // instead of being added to it.
  bool group_is_title;
};

// The title line as shown: the title, and the version after " Version ".
struct TitleLine {
  char title[128];
  char version[32];
};

// Reads the first line of FILE_ID.DIZ, up to a bracket that opens a remark,
// into `line`; keeps the version in `description`, and makes the title,
// trimmed, the product name when there is none yet and it can name a folder.
void ReadTitleLine(const char* text, TitleLine* line, PackageDescription* description);

// Reads "ID", "Group", "Class", "Exe", "Notice" and "Publisher" of an .INF
// text. Each adds to what an earlier .INF left, but a Group replaces the
// title; a Group that cannot name a folder (IsUsableProductName) counts as
// none. "Notice=no", in any case, turns the notice off; any other value
// turns it on again.
void ReadPackageSettings(const char* text, PackageDescription* description);

// The room ReadPackageSettings gives the value of "Notice": "yes", "no" and
// a few characters more, so that "nonsense" does not read as "no".
constexpr size_t kNoticeRoom = 8;

// Appends the value after the first "key=" of `text` to `field` (`size`
// bytes), up to the end of its line. Nothing when the first occurrence of
// the key is not followed by "=".
void ReadKeyValue(const char* text, const char* key, char* field, size_t size);

// The base name of the language files, from the first .LNG entry's name:
// its file-name part without "_", code and ".LNG". Later names leave it.
void TakeLanguageBaseName(const char* name, PackageDescription* description);

// The tail of a language file's name: "_", two code letters and ".LNG".
constexpr size_t kLanguageTailLength = 7;

// The language name of a .LNG text, cut in place inside `text`: after
// "Language" and one more character, up to "(", "=" or the line's end, in a
// text that starts with "[". Null when the text names none.
char* ReadLanguageName(char* text);
