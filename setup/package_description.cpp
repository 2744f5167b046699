#include "setup/package_description.h"

#include <cstring>

#include "archive/extract_archive.h"
#include "common/bounded_text.h"
#include "common/description_text.h"
#include "common/entry_names.h"
#include "resources/resource_ids.h"
#include "shell/language_list.h"
#include "shell/packed_code.h"
#include "shell/setup_state.h"

const LOGFONTA TitleFont = {
    0,  // height: 18 points, set from the display
    0,
    0,
    0,  // width, escapement, orientation
    FW_NORMAL,
    FALSE,
    FALSE,
    FALSE,
    ANSI_CHARSET,
    OUT_STRING_PRECIS,
    CLIP_STROKE_PRECIS,
    DRAFT_QUALITY,
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

// Description entries come back in memory, under their marker; every other
// entry (and every name of 4 characters or fewer) is only checked, so that
// a large file never has to fit in memory.
char MarkEntry(const char* name, uint32_t size) {
  size_t length = std::strlen(name);
  if (length <= 4 || size > kLargestDescription) return kVerifyOnlyMarker;
  if (_stricmp(name, "FILE_ID.DIZ") == 0) return kMarkTitle;
  if (EndsWithNoCase(name, ".INF")) return kMarkSettings;
  if (EndsWithNoCase(name, ".LNG")) {
    TakeLanguageBaseName(name, g_setup_state);
    return kMarkLanguage;
  }
  return kVerifyOnlyMarker;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

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
    int bytes = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(data + 2), characters, converted,
                                    sizeof converted, nullptr, nullptr);
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
      ReadPackageSettings(text, g_setup_state);
      break;
    case kMarkLanguage:
      if (size >= kMinLanguageFileSize) AddLanguageFromFile(dialog, data, size, name);
      break;
  }
  return 0;
}

void ShowPackageTitle(HWND dialog, const char* text) {
  TitleLine line;
  ReadTitleLine(text, &line, g_setup_state);

  char caption[260];
  GetWindowTextA(dialog, caption, sizeof caption);
  AppendBounded(caption, " ", sizeof caption);
  AppendBounded(caption, line.title, sizeof caption);
  AppendBounded(caption, " ", sizeof caption);
  AppendBounded(caption, line.version, sizeof caption);
  SetWindowTextA(dialog, caption);

  char shown[sizeof line.title + 1 + sizeof line.version];
  CopyBounded(shown, line.title, sizeof shown);
  AppendBounded(shown, " ", sizeof shown);
  AppendBounded(shown, line.version, sizeof shown);

  // 18 points on this display; negative asks for the character height.
  LOGFONTA title_font;
  std::memcpy(&title_font, &TitleFont, sizeof title_font);
  HDC device = GetDC(dialog);
  title_font.lfHeight = MulDiv(-18, GetDeviceCaps(device, LOGPIXELSY), 72);
  ReleaseDC(dialog, device);
  HFONT font = CreateFontIndirectA(&title_font);
  if (font != nullptr) SendDlgItemMessageA(dialog, IDC_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetDlgItemTextA(dialog, IDC_TITLE, shown);
}

void AddLanguageFromFile(HWND dialog, const uint8_t* data, uint32_t size, const char* name) {
  char text[260] = {};
  LanguageFileText(data, size, text);
  const char* language = ReadLanguageName(text);
  if (language == nullptr) return;

  // The code stands just before ".LNG". The first byte of the name buffer
  // now holds the pass's marker, so a name shorter than "_XX.LNG" has no
  // code to read and adds no language.
  size_t length = std::strlen(name);
  if (length < kLanguageTailLength) return;
  char code[2] = {AsciiUpper(name[length - 6]), AsciiUpper(name[length - 5])};
  uint32_t packed = PackCode(code, 2);

  HWND list = GetDlgItem(dialog, IDC_LANGUAGES);
  if (FindLanguageItem(list, packed) < 0) AddLanguageItem(list, language, packed);
}
