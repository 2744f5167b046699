// The description pass's reading of FILE_ID.DIZ, the .INF settings and the
// .LNG language files, and the markers its first call hands the driver.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/extract_context.h"
#include "common/entry_names.h"
#include "install/install_progress.h"
#include "resources/resource_ids.h"
#include "setup/checking_window.h"
#include "setup/package_description.h"
#include "shell/language_list.h"
#include "shell/packed_code.h"
#include "shell/setup_state.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/dialog/text_bytes.h"

namespace {

class PackageTitleTest : public DialogTest {};

struct TitleCase {
  const char* why;
  const char* diz;
  const char* window_title;
  const char* title_text;
  const char* group;
};

TEST_F(PackageTitleTest, ShowsTitleAndVersionFromTheFirstLine) {
  const TitleCase cases[] = {
      {"title and version", "Tolven Paint Version 2.5\r\nA paint program\r\n", "Setup Tolven Paint 2.5",
       "Tolven Paint 2.5", "Tolven Paint"},
      {"a remark in parentheses and its blank are dropped", "Tolven Paint Version 2.5 (beta)\r\n",
       "Setup Tolven Paint 2.5", "Tolven Paint 2.5", "Tolven Paint"},
      {"a bracket also ends the line", "Tolven Paint [freeware]\r\n", "Setup Tolven Paint ", "Tolven Paint ",
       "Tolven Paint"},
      {"no version: the title text ends with one blank", "Tolven Paint\n", "Setup Tolven Paint ", "Tolven Paint ",
       "Tolven Paint"},
      {"\"Version\" is case significant", "Paint version 2\n", "Setup Paint version 2 ", "Paint version 2 ",
       "Paint version 2"},
      {"an empty first line leaves title and version empty", "\r\nTolven Paint Version 2.5\r\n", "Setup  ", " ", ""},
      {"characters above 127 are ordinary", "Caf\xE9 M\xFCller Version 1.0\n", "Setup Caf\xE9 M\xFCller 1.0",
       "Caf\xE9 M\xFCller 1.0", "Caf\xE9 M\xFCller"},
      {"dots after the title are no part of the product name", "Tolven Paint...\n", "Setup Tolven Paint... ",
       "Tolven Paint... ", "Tolven Paint"},
      {"a title that cannot name a folder names no product", "Tools/Utilities Version 1\n", "Setup Tools/Utilities 1",
       "Tools/Utilities 1", ""},
      {"the version is cut to 31 characters", "P Version 0123456789012345678901234567890123456789\n",
       "Setup P 0123456789012345678901234567890", "P 0123456789012345678901234567890", "P"},
  };
  for (const TitleCase& c : cases) {
    SetWindowTextA(dialog_, "Setup");
    g_setup_state->group[0] = '\0';
    ShowPackageTitle(dialog_, c.diz);
    EXPECT_EQ(WindowTitle(), c.window_title) << c.why;
    EXPECT_EQ(ControlText(IDC_TITLE), c.title_text) << c.why;
    EXPECT_STREQ(g_setup_state->group, c.group) << c.why;
  }
}

TEST_F(PackageTitleTest, TitleGetsAnEighteenPointFont) {
  HFONT dialog_font = reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0));
  ShowPackageTitle(dialog_, "Tolven Paint Version 2.5\n");
  HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog_, IDC_TITLE, WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  ASSERT_NE(font, dialog_font);
  LOGFONTA title = {};
  LOGFONTA normal = {};
  ASSERT_NE(GetObjectA(font, sizeof title, &title), 0);
  ASSERT_NE(GetObjectA(dialog_font, sizeof normal, &normal), 0);
  HDC device = GetDC(dialog_);
  EXPECT_EQ(title.lfHeight, MulDiv(-18, GetDeviceCaps(device, LOGPIXELSY), 72));
  ReleaseDC(dialog_, device);
  EXPECT_STREQ(title.lfFaceName, "MS Sans Serif");
  EXPECT_GT(-title.lfHeight, std::abs(normal.lfHeight));
}

// Language files: the second call of the pass, with the marker in the first
// byte of the name.
class LanguageFileTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    AddBuiltInLanguages(list_);
  }
  void Add(const std::string& data, const char* name) {
    char buffer[kNameSize];
    std::strcpy(buffer, name);
    buffer[0] = kMarkLanguage;
    std::string with_end = data + std::string(1, '\0');
    AddLanguageFromFile(dialog_, reinterpret_cast<const uint8_t*>(with_end.data()), static_cast<uint32_t>(data.size()),
                        buffer);
  }
  static std::string Ansi(const wchar_t* text) {
    char out[512] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return out;
  }
};

// Several files, each added in turn to the built-in languages.
TEST_F(LanguageFileTest, FilesAddTheirLanguagesOnce) {
  const wchar_t* french = L"[Info]\r\nLanguage=Fran\u00E7ais\r\nAuthor=x\r\n";
  const std::string francais = Ansi(L"Fran\u00E7ais");
  // The pass ends the data with one 0 byte, not a 0 character: UTF-16 text
  // is counted from the size, and a half character at the end is dropped.
  const std::string danish = Utf16FileBytes(L"[X]\r\nLanguage=Dansk");
  // "Language" as the last 8 of the 259 characters the file is read to.
  const std::string cut_word = "[" + std::string(250, 'x') + "Language=Latina\n";
  ASSERT_EQ(cut_word.find("Language") + 8, 259u);
  struct {
    const char* why;
    std::vector<std::pair<std::string, const char*>> files;  // data, entry name
    std::vector<ListItem> items;
  } const cases[] = {
      {"ANSI and UTF-16 files give the same name",
       {{Ansi(french), "LANG\\PAINT_FR.LNG"}, {Utf16FileBytes(french), "LANG\\PAINT_FX.LNG"}},
       {{"English", 2}, {francais, 2}, {francais, 2}, {"German", 2}}},
      {"UTF-16 reads no further than its size",
       {{danish, "P_DA.LNG"}, {danish.substr(0, danish.size() - 1), "P_DB.LNG"}},
       {{"Dans", 2}, {"Dansk", 2}, {"English", 2}, {"German", 2}}},
      {"a language already listed keeps its first name",
       {{"[Lang]\nLanguage=Deutsch (DE)\n", "9x\\P_DE.LNG"},
        {"[Lang]\nLanguage=Francais\n", "9x\\P_FR.LNG"},
        {"[Lang]\nLanguage=French\n", "xp\\P_FR.LNG"}},
       {{"English", 2}, {"Francais", 2}, {"German", 2}}},
      {"a word ending at the buffer end reads nothing beyond it",
       {{cut_word, "P_LA.LNG"}},
       {{"English", 2}, {"German", 2}}},
  };
  for (const auto& c : cases) {
    SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
    AddBuiltInLanguages(list_);
    for (const auto& file : c.files) Add(file.first, file.second);
    EXPECT_EQ(Items(), c.items) << c.why;
  }
}

struct LanguageCase {
  const char* why;
  const char* data;
  const char* name;
  const char* shown;  // the added item's text, or null when none is added
  const char* code;
};

TEST_F(LanguageFileTest, NameAndCodeFromTheFileAndItsEntryName) {
  const LanguageCase cases[] = {
      {"name up to the line end", "[Lang]\r\nLanguage=Italiano\r\n", "P_IT.LNG", "Italiano", "IT"},
      {"a parenthesis ends the name", "[Lang]\nLanguage=Espanol (Espana)\n", "P_ES.LNG", "Espanol ", "ES"},
      {"a second '=' ends the name", "[Lang]\nLanguage=Norsk=no\n", "P_NO.LNG", "Norsk", "NO"},
      {"the code is upper-cased", "[Lang]\nLanguage=Svenska\n", "xp\\p_sv.lng", "Svenska", "SV"},
      {"the name must start with '['", "Language=Suomi\n", "P_FI.LNG", nullptr, "FI"},
      {"no \"Language\" at all", "[Lang]\nName=Polski\n", "P_PL.LNG", nullptr, "PL"},
      {"an empty name", "[Lang]\nLanguage=\r\n", "P_CS.LNG", nullptr, "CS"},
      {"\"Language\" at the very end", "[Lang]\nLanguage", "P_HU.LNG", nullptr, "HU"},
      {"too short an entry name has no code", "[Lang]\nLanguage=Eesti\n", "ET.LNG", nullptr, "ET"},
  };
  for (const LanguageCase& c : cases) {
    SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
    Add(c.data, c.name);
    int index = FindLanguageItem(list_, PackCode(c.code, 2));
    if (c.shown == nullptr) {
      EXPECT_EQ(Items().size(), 0u) << c.why;
      continue;
    }
    ASSERT_GE(index, 0) << c.why;
    EXPECT_EQ(Items()[index], (ListItem{c.shown, 2})) << c.why;
  }
}

// The first call: which entries the pass reads, and the language files'
// base name.
class DescribeEntryTest : public DialogTest {
 protected:
  char Mark(const char* entry, uint32_t size = 100) {
    DescriptionPass pass = {};
    pass.dialog = dialog_;
    char name[kNameSize];
    std::strcpy(name, entry);
    EXPECT_EQ(DescribeEntry(name, nullptr, size, &pass), 0);
    MemoryBufferReset(&g_setup_state->catalogue.names);
    return name[0];
  }
};

// Names the installer cannot write as they are end the pass, which the
// dialog then reports as a damaged package: none is skipped in silence.
TEST_F(DescribeEntryTest, NamesWindowsWouldChangeEndThePass) {
  struct {
    const char* why;
    std::vector<const char*> names;  // in one pass; the last one is refused
    int fault;
  } cases[] = {
      {"a device", {"CON"}, kNameDevice},
      {"a device with an extension", {"nul.txt"}, kNameDevice},
      {"a device in an edition", {"9x\\LPT1.TXT"}, kNameDevice},
      {"port zero is a device too", {"COM0"}, kNameDevice},
      {"a stream", {"x:stream"}, kNameStream},
      {"a trailing dot", {"trail."}, kNameTrailing},
      {"a trailing blank", {"trail "}, kNameTrailing},
      {"no file name", {"9x\\"}, kNameFolder},
      {"the same name in another case", {"README.TXT", "xp\\readme.txt", "ReadMe.txt"}, kNameTaken},
      {"Windows-1252 letters in another case", {"\xC4rger.txt", "\xE4rger.txt"}, kNameTaken},
  };
  for (const auto& c : cases) {
    DescriptionPass pass = {};
    pass.dialog = dialog_;
    for (size_t i = 0; i < c.names.size(); ++i) {
      char name[kNameSize];
      std::strcpy(name, c.names[i]);
      bool last = i + 1 == c.names.size();
      EXPECT_EQ(DescribeEntry(name, nullptr, 100, &pass), last ? 1 : 0) << c.why << ": " << c.names[i];
    }
    EXPECT_EQ(pass.refused, c.fault) << c.why;
    MemoryBufferReset(&g_setup_state->catalogue.names);
  }
}

TEST_F(DescribeEntryTest, MarksTheDescriptionEntriesAndChecksTheRest) {
  constexpr uint32_t kMiB = 1 << 20;
  struct {
    const char* name;
    uint32_t size;
    char marker;
  } cases[] = {
      {"FILE_ID.DIZ", 100, kMarkTitle},
      {"file_id.diz", 100, kMarkTitle},
      {"DOC\\FILE_ID.DIZ", 100, kVerifyOnlyMarker},  // only at the top level
      {"SETUP.INF", 100, kMarkSettings},
      {"xp\\Setup.inf", 100, kMarkSettings},
      {"LANG\\PAINT_DE.LNG", 100, kMarkLanguage},
      {"A.LNG", 100, kMarkLanguage},
      {".LNG", 100, kVerifyOnlyMarker},  // four characters or fewer
      {"A.B", 100, kVerifyOnlyMarker},
      {"PAINT.EXE", 100, kVerifyOnlyMarker},
      {"README.INFO", 100, kVerifyOnlyMarker},
      // Up to 1 MiB a description entry is read; beyond, only checked.
      {"PAINT_DE.LNG", kMiB, kMarkLanguage},
      {"SETUP.INF", kMiB + 1, kVerifyOnlyMarker},
      {"FILE_ID.DIZ", 0xFFFFFFFF, kVerifyOnlyMarker},
  };
  for (const auto& c : cases) EXPECT_EQ(Mark(c.name, c.size), c.marker) << c.name << " of " << c.size;
}

TEST_F(DescribeEntryTest, FirstLanguageFileNamesTheBase) {
  struct {
    const char* why;
    const char* first;
    const char* second;
    const char* base;
  } cases[] = {
      {"folder, base, code", "9x\\LANG\\PAINT_DE.LNG", "OTHER_FR.LNG", "PAINT"},
      {"'/' also separates", "xp/PAINT_IT.LNG", "X_IT.LNG", "PAINT"},
      {"exactly seven characters are kept whole", "_DE.LNG", "PAINT_FR.LNG", "_DE.LNG"},
      {"a long name loses its end, not its middle", "ThirtyTwoCharacterProductNameXYZ_DE.LNG", "",
       "ThirtyTwoCharacterProductNameXY"},
  };
  for (const auto& c : cases) {
    g_setup_state->lng_base_name[0] = '\0';
    Mark(c.first);
    if (c.second[0] != '\0') Mark(c.second);
    EXPECT_STREQ(g_setup_state->lng_base_name, c.base) << c.why;
  }
}

TEST_F(DescribeEntryTest, SecondCallReadsByMarker) {
  AddBuiltInLanguages(list_);
  DescriptionPass pass = {};
  pass.dialog = dialog_;
  auto deliver = [&](const char* entry, const std::string& data) {
    char name[kNameSize];
    std::strcpy(name, entry);
    DescribeEntry(name, nullptr, static_cast<uint32_t>(data.size()), &pass);
    std::string with_end = data + std::string(1, '\0');
    return DescribeEntry(name, reinterpret_cast<const uint8_t*>(with_end.data()), static_cast<uint32_t>(data.size()),
                         &pass);
  };
  EXPECT_EQ(deliver("FILE_ID.DIZ", "Tolven Paint Version 3\r\n"), 0);
  EXPECT_EQ(deliver("SETUP.INF", "ID=TWP\r\nClass=TPaint\r\nExe=paint.exe\r\n"), 0);
  EXPECT_EQ(deliver("P_IT.LNG", "[L]Lang"), 0);  // 7 bytes: too small to name one
  EXPECT_EQ(deliver("P_FR.LNG", "[L]\nLanguage=Francais\n"), 0);
  EXPECT_EQ(ControlText(IDC_TITLE), "Tolven Paint 3");
  EXPECT_STREQ(g_setup_state->package_id, "TWP");
  EXPECT_STREQ(g_setup_state->window_class, "TPaint");
  EXPECT_STREQ(g_setup_state->exe_name, "paint.exe");
  EXPECT_STREQ(g_setup_state->lng_base_name, "P");
  std::vector<ListItem> expected = {{"English", 2}, {"Francais", 2}, {"German", 2}};
  EXPECT_EQ(Items(), expected);
}

}  // namespace

namespace {

// While the package is checked: no window for a check shorter than half a
// second; after that one that says so with its percentage, kept up to date.
TEST_F(PackageTitleTest, CheckingWindowComesOnlyForALongCheck) {
  CheckingWindow checking = {};
  EXPECT_EQ(ReportChecking(&checking, 0, 1000), 0);
  Sleep(kServeInterval + 10);
  ReportChecking(&checking, 100, 1000);
  EXPECT_EQ(checking.window, nullptr) << "a short check shows nothing";
  Sleep(kCheckingWindowDelay);
  ReportChecking(&checking, 250, 1000);
  ASSERT_NE(checking.window, nullptr);
  EXPECT_TRUE(IsWindowVisible(checking.window));
  char text[128];
  GetDlgItemTextA(checking.window, IDC_CHECKING, text, sizeof text);
  EXPECT_STREQ(text, "Checking the package... 25%");
  Sleep(kServeInterval + 10);
  ReportChecking(&checking, 1000, 1000);
  GetDlgItemTextA(checking.window, IDC_CHECKING, text, sizeof text);
  EXPECT_STREQ(text, "Checking the package... 100%");
  HWND window = checking.window;
  CloseCheckingWindow(&checking);
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
