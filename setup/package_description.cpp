#include "setup/package_description.h"

#include <cstring>

#include "archive/extract_archive.h"
#include "common/bounded_text.h"
#include "common/entry_names.h"
#include "common/path_helpers.h"
#include "common/product_name.h"
#include "resources/resource_ids.h"
#include "setup/language_list.h"
#include "setup/packed_code.h"
#include "setup/setup_state.h"

const LOGFONTA TitleFont = {
    0,                            // height: 18 points, set from the display
    0, 0, 0,                      // width, escapement, orientation
    FW_NORMAL, FALSE, FALSE, FALSE,
    ANSI_CHARSET, OUT_STRING_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY,
    VARIABLE_PITCH | FF_SWISS,
    "MS Sans Serif",
};

namespace {

// A .LNG entry of 7 bytes or fewer cannot hold "[", "Language" and a name.
constexpr uint32_t kMinLanguageFileSize = 8;

// The title line and a language's name are read from the first few hundred
// bytes, the settings from a text of a few lines; a language file is the
// product's own and may be larger. None of a real package comes near this
// bound: a larger entry is only checked, never held in memory whole.
constexpr uint32_t kLargestDescription = 1 << 20;

// The tail of a language file's name: "_", two code letters and ".LNG".
constexpr size_t kLanguageTailLength = 7;

// True while SetupState.group holds the title of FILE_ID.DIZ rather than a
// "Group" setting: a package's .INF may come after its FILE_ID.DIZ, and its
// Group then replaces the title instead of being added to it.
bool group_holds_title = false;

// Trims a candidate product name and empties one that cannot name the
// product's folder, shortcuts and uninstall key: it then counts as no name
// at all, like an empty "Group=".
void KeepUsableName(char* name) {
  TrimProductName(name);
  if (!IsUsableProductName(name)) name[0] = '\0';
}

// The base name of the language files: the file-name part of the first .LNG
// entry without its "_", code and ".LNG". The tail is cut before the name is
// bounded to the field, so a long name loses its end, not its middle.
void TakeLanguageBaseName(const char* name) {
  char* base = g_setup_state->lng_base_name;
  if (base[0] != '\0') return;
  const char* file_name = name + FileNameOffset(name);
  size_t length = std::strlen(file_name);
  if (length <= kLanguageTailLength) {
    CopyBounded(base, file_name, sizeof g_setup_state->lng_base_name);
    return;
  }
  size_t keep = length - kLanguageTailLength;
  if (keep >= sizeof g_setup_state->lng_base_name) keep = sizeof g_setup_state->lng_base_name - 1;
  std::memcpy(base, file_name, keep);
  base[keep] = '\0';
}

// Description entries come back in memory, under their marker; every other
// entry (and every name of 4 characters or fewer) is only checked, so that
// a large file never has to fit in memory.
char MarkEntry(const char* name, uint32_t size) {
  size_t length = std::strlen(name);
  if (length <= 4 || size > kLargestDescription) return kVerifyOnlyMarker;
  if (_stricmp(name, "FILE_ID.DIZ") == 0) return kMarkTitle;
  if (EndsWithNoCase(name, ".INF")) return kMarkSettings;
  if (EndsWithNoCase(name, ".LNG")) {
    TakeLanguageBaseName(name);
    return kMarkLanguage;
  }
  return kVerifyOnlyMarker;
}

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

void CutAtFirst(char* text, char c) {
  char* at = std::strchr(text, c);
  if (at != nullptr) *at = '\0';
}

// The text of a .LNG file in the ANSI code page, at most 259 characters,
// into `out` (260 bytes, zero-filled by the caller).
void LanguageFileText(const uint8_t* data, uint32_t size, char* out) {
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    // UTF-16: the pass ends the data with one 0 byte, not a 0 character,
    // so the characters are counted from the size, never read past it.
    // Each character gives at least one byte, so 259 of them are enough;
    // twice the room takes the double-byte code pages.
    int characters = static_cast<int>((size - 2) / 2);
    if (characters > 259) characters = 259;
    char converted[2 * 260];
    int bytes = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(data + 2), characters,
                                    converted, sizeof converted, nullptr, nullptr);
    if (bytes > 259) bytes = 259;
    if (bytes > 0) std::memcpy(out, converted, static_cast<size_t>(bytes));
    out[bytes > 0 ? bytes : 0] = '\0';
  } else {
    CopyBounded(out, reinterpret_cast<const char*>(data), 260);
  }
}

}  // namespace

int DescribePackage(HWND dialog, const char* path, PassProgress* progress) {
  DescriptionPass pass = {};
  pass.dialog = dialog;
  MemoryBufferReset(&g_setup_state->catalogue.names);
  int result = ExtractArchive(path, DescribeEntry, &pass, nullptr, progress);
  return pass.refused != kNameFine ? kExtractBadEntry : result;
}

int DescribeEntry(char* name, const uint8_t* data, uint32_t size, void* user) {
  DescriptionPass* pass = static_cast<DescriptionPass*>(user);
  HWND dialog = pass->dialog;
  if (data == nullptr) {
    // A name Windows would change, or take for a device or a stream, would
    // be installed under another name, into another entry's file, or not
    // at all: the package is refused before anything is shown.
    pass->refused = InstallerNameFault(name);
    if (pass->refused == kNameFine && !AddCatalogueEntry(&g_setup_state->catalogue, name)) pass->refused = kNameTaken;
    if (pass->refused != kNameFine) return 1;
    char marker = MarkEntry(name, size);
    name[0] = marker;
    return 0;
  }
  const char* text = reinterpret_cast<const char*>(data);
  switch (name[0]) {
    case kMarkTitle:
      ShowPackageTitle(dialog, text);
      break;
    case kMarkSettings:
      ReadPackageInfo(text);
      break;
    case kMarkLanguage:
      if (size >= kMinLanguageFileSize) AddLanguageFromFile(dialog, data, size, name);
      break;
  }
  return 0;
}

void ShowPackageTitle(HWND dialog, const char* text) {
  char line[260];
  CopyBounded(line, text, sizeof line);

  // The first line, up to a bracket that opens a remark, holds the title
  // and, after " Version ", the version.
  char title[128] = "";
  char version[32] = "";
  size_t end = std::strcspn(line, "\n\r([");
  if (end > 0) {
    if (line[end - 1] == ' ') --end;
    line[end] = '\0';
    char* version_at = std::strstr(line, " Version ");
    if (version_at != nullptr) {
      *version_at = '\0';
      CopyBounded(version, version_at + 9, sizeof version);
    }
    CopyBounded(title, line, sizeof title);
  }

  char caption[260];
  GetWindowTextA(dialog, caption, sizeof caption);
  AppendBounded(caption, " ", sizeof caption);
  AppendBounded(caption, title, sizeof caption);
  AppendBounded(caption, " ", sizeof caption);
  AppendBounded(caption, version, sizeof caption);
  SetWindowTextA(dialog, caption);

  char shown[sizeof title + 1 + sizeof version];
  CopyBounded(shown, title, sizeof shown);
  AppendBounded(shown, " ", sizeof shown);
  AppendBounded(shown, version, sizeof shown);

  // 18 points on this display; negative asks for the character height.
  LOGFONTA title_font;
  std::memcpy(&title_font, &TitleFont, sizeof title_font);
  HDC device = GetDC(dialog);
  title_font.lfHeight = MulDiv(-18, GetDeviceCaps(device, LOGPIXELSY), 72);
  ReleaseDC(dialog, device);
  HFONT font = CreateFontIndirectA(&title_font);
  if (font != nullptr) SendDlgItemMessageA(dialog, IDC_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetDlgItemTextA(dialog, IDC_TITLE, shown);

  CopyBounded(g_setup_state->version, version, sizeof g_setup_state->version);
  if (g_setup_state->group[0] == '\0') {
    CopyBounded(g_setup_state->group, title, sizeof g_setup_state->group);
    KeepUsableName(g_setup_state->group);
    group_holds_title = g_setup_state->group[0] != '\0';
  }
}

void ReadPackageInfo(const char* text) {
  SetupState* state = g_setup_state;
  ReadKeyValue(text, "ID", state->package_id, sizeof state->package_id);

  char group[sizeof state->group] = "";
  ReadKeyValue(text, "Group", group, sizeof group);
  KeepUsableName(group);
  if (group[0] != '\0' && group_holds_title) state->group[0] = '\0';
  group_holds_title = false;
  AppendBounded(state->group, group, sizeof state->group);
  // Added to an earlier .INF's value, the field may end just after a blank.
  KeepUsableName(state->group);

  ReadKeyValue(text, "Class", state->window_class, sizeof state->window_class);
  ReadKeyValue(text, "Exe", state->exe_name, sizeof state->exe_name);
  ReadKeyValue(text, "Publisher", state->publisher, sizeof state->publisher);

  // Room for "yes", "no" and a few characters more, so that "nonsense"
  // does not read as "no".
  char notice[8] = "";
  ReadKeyValue(text, "Notice", notice, sizeof notice);
  if (notice[0] != '\0') state->notice_off = _stricmp(notice, "no") == 0;
}

void ReadKeyValue(const char* text, const char* key, char* field, size_t size) {
  const char* at = std::strstr(text, key);
  if (at == nullptr) return;
  at += std::strlen(key);
  if (*at != '=') return;
  AppendBounded(field, at + 1, size);
  CutAtFirst(field, '\r');
  CutAtFirst(field, '\n');
}

void AddLanguageFromFile(HWND dialog, const uint8_t* data, uint32_t size, const char* name) {
  char text[260] = {};
  LanguageFileText(data, size, text);
  if (text[0] != '[') return;
  char* word = std::strstr(text, "Language");
  if (word == nullptr) return;
  // The name starts after the word and one more character (normally "=");
  // a word that ends the text leaves no name.
  char* start = word + 8;
  if (*start == '\0') return;
  ++start;
  std::memmove(text, start, std::strlen(start) + 1);
  CutAtFirst(text, '(');
  CutAtFirst(text, '=');
  CutAtFirst(text, '\r');
  CutAtFirst(text, '\n');
  if (text[0] == '\0') return;

  // The code stands just before ".LNG". The first byte of the name buffer
  // now holds the pass's marker, so a name shorter than "_XX.LNG" has no
  // code to read and adds no language.
  size_t length = std::strlen(name);
  if (length < kLanguageTailLength) return;
  char code[2] = {AsciiUpper(name[length - 6]), AsciiUpper(name[length - 5])};
  uint32_t packed = PackCode(code, 2);

  HWND list = GetDlgItem(dialog, IDC_LANGUAGES);
  if (FindLanguageItem(list, packed) < 0) AddLanguageItem(list, text, packed);
}
