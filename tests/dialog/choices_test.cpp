// The dialog's choices: the language list's column and check commands, the
// edition combo box and the defaults of the folder and option boxes.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "resources/resource_ids.h"
#include "setup/option_defaults.h"
#include "shell/control_messages.h"
#include "shell/edition_choice.h"
#include "shell/language_list.h"
#include "shell/packed_code.h"
#include "shell/setup_state.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/e2e/installed_product.h"
#include "tests/install/test_paths.h"
#include "tests/support/scratch.h"

namespace {

int ColumnWidth(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0)); }

HWND MakeList(HWND parent, int width) {
  return CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, width, 100, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

using LanguageListTest = DialogTest;

TEST_F(LanguageListTest, FillingColumnTakesWhatTheScrollBarLeavesButAtLeast100Pixels) {
  int margin = GetSystemMetrics(SM_CXVSCROLL) + 4;
  struct {
    int list_width;
    int column_width;
  } cases[] = {
      {400, 400 - margin},
      {100 + margin + 1, 101},
      {100 + margin - 1, 100},
      {40, 100},
  };
  for (const auto& c : cases) {
    HWND list = MakeList(dialog_, c.list_width);
    RECT client;
    GetClientRect(list, &client);
    ASSERT_EQ(client.right, c.list_width) << "a list without border";
    InsertColumns(list, LanguageColumns);
    EXPECT_EQ(ColumnWidth(list), c.column_width) << c.list_width;
    DestroyWindow(list);
  }
}

TEST_F(LanguageListTest, FixedWidthsAreKeptAndLeaveLessToTheFillingColumn) {
  const ColumnSpec columns[] = {{2001, 50, 1}, {1010, -1, 2}, {0, 0, 0}};
  HWND list = MakeList(dialog_, 400);
  InsertColumns(list, columns);
  SetColumnTexts(list, columns);
  EXPECT_EQ(ColumnWidth(list), 50);
  EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0), 400 - 50 - GetSystemMetrics(SM_CXVSCROLL) - 4);
  char text[64] = "";
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_FMT;
  column.pszText = text;
  column.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
  EXPECT_STREQ(text, "Language");
  EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_CENTER);
  DestroyWindow(list);
}

TEST_F(LanguageListTest, BuiltInLanguagesAreCheckedAndSortedInTheUserLanguage) {
  g_setup_state->language_table = &GermanTable;
  AddBuiltInLanguages(list_);
  AddLanguageItem(list_, "Czech", PackCode("CS", 2));
  std::vector<ListItem> expected = {{"Czech", 2}, {"Deutsch", 2}, {"Englisch", 2}};
  EXPECT_EQ(Items(), expected);
  EXPECT_EQ(FindLanguageItem(list_, kCodeEnglish), 2);
  EXPECT_EQ(GetItemCode(list_, 1), kCodeGerman);
  EXPECT_EQ(FindLanguageItem(list_, PackCode("IT", 2)), -1);
  EXPECT_EQ(GetItemCode(list_, 7), 0u) << "no such item";
}

TEST_F(LanguageListTest, CheckCommands) {
  AddBuiltInLanguages(list_);
  AddLanguageItem(list_, "Italiano", PackCode("IT", 2));
  SetItemCheckImage(list_, FindLanguageItem(list_, kCodeGerman), kStateUnchecked);
  std::vector<ListItem> start = {{"English", 2}, {"German", 1}, {"Italiano", 2}};
  ASSERT_EQ(Items(), start);

  InvertItemChecks(list_);
  std::vector<ListItem> inverted = {{"English", 1}, {"German", 2}, {"Italiano", 1}};
  EXPECT_EQ(Items(), inverted);
  InvertItemChecks(list_);
  EXPECT_EQ(Items(), start) << "inverting twice restores";

  UncheckAllItems(list_);
  EXPECT_EQ(Items(), (std::vector<ListItem>{{"English", 1}, {"German", 1}, {"Italiano", 1}}));
  CheckAllItems(list_);
  EXPECT_EQ(Items(), (std::vector<ListItem>{{"English", 2}, {"German", 2}, {"Italiano", 2}}));
}

using EditionTest = DialogTest;

std::string ComboItemText(HWND combo, int index) {
  char text[128] = "";
  SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

TEST_F(EditionTest, EditionTextsSplitAtTheirFirstSlash) {
  struct {
    const char* edition;
    const char* shown;  // null: no item
    uint32_t data;
  } cases[] = {
      {"9x/Classic Edition (Windows 9x/ME)", "Classic Edition (Windows 9x/ME)", 0x7839},
      {"xp/XP/Vista Edition", "XP/Vista Edition", 0x7078},
      {"abc/Three", "Three", 0x636261},
      {"/No prefix", "No prefix", 0},
      {"abcd/Four is too long", nullptr, 0},
      {"No slash", nullptr, 0},
  };
  HWND combo = GetDlgItem(dialog_, IDC_EDITION);
  for (const auto& c : cases) {
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    AddEditionItem(combo, c.edition);
    if (c.shown == nullptr) {
      EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0) << c.edition;
      continue;
    }
    ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 1) << c.edition;
    EXPECT_EQ(ComboItemText(combo, 0), c.shown);
    EXPECT_EQ(static_cast<uint32_t>(ComboGetItemData(combo, 0)), c.data) << c.edition;
  }
}

// Defaults read the registry and the Quick Launch folder of the test
// prefix; what they change is put back.
class DefaultsTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    AddBuiltInLanguages(list_);
    AddLanguageItem(list_, "Francais", PackCode("FR", 2));
    AddLanguageItem(list_, "Italiano", PackCode("IT", 2));
    AddLanguageItem(list_, "Nederlands", PackCode("NL", 2));
  }
  void TearDown() override {
    DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\Tolvenwark", "T7D");
    DialogTest::TearDown();
  }
  static void Remember(const std::string& folder) {
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, "Software\\Tolvenwark", "T7D", REG_SZ, folder + '\0'));
  }
  bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
  bool Visible(int id) const { return (GetWindowLongA(GetDlgItem(dialog_, id), GWL_STYLE) & WS_VISIBLE) != 0; }
};

TEST_F(DefaultsTest, ExistingFolderKeepsItsLanguagesAndProposesNoShortcuts) {
  std::string folder = ScratchFolder();
  folder.pop_back();  // the remembered folder has no trailing separator
  // Only French is there: English and German, part of every installation,
  // stay checked without files of theirs.
  WriteWholeFile(folder + "\\PAINT_FR.LNG", "[L]\r\nLanguage=Francais\r\n");
  std::strcpy(g_setup_state->package_id, "T7D");
  std::strcpy(g_setup_state->lng_base_name, "PAINT");
  Remember(folder);

  FillDestinationAndOptions(dialog_, nullptr);

  EXPECT_EQ(ControlText(IDC_FOLDER), folder);
  std::vector<ListItem> expected = {{"English", 2}, {"Francais", 2}, {"German", 2}, {"Italiano", 1}, {"Nederlands", 1}};
  EXPECT_EQ(Items(), expected);
  EXPECT_FALSE(Checked(IDC_START_MENU));
  EXPECT_FALSE(Checked(IDC_DESKTOP_ICON));
  EXPECT_FALSE(Checked(IDC_QUICK_LAUNCH));
  EXPECT_TRUE(Visible(IDC_QUICK_LAUNCH));

  // A folder given in place of the proposal (a silent installation's /D=)
  // gets the defaults for that folder, not for the remembered one.
  OpenDialog();
  AddLanguageItem(list_, "Nederlands", PackCode("NL", 2));
  std::string other = folder + "\\other";
  FillDestinationAndOptions(dialog_, other.c_str());
  EXPECT_EQ(ControlText(IDC_FOLDER), other);
  EXPECT_TRUE(Checked(IDC_START_MENU)) << "a new folder";
  EXPECT_EQ(Items(), std::vector<ListItem>({{"Nederlands", 2}}));
}

TEST_F(DefaultsTest, NewFolderProposesShortcutsAndQuickLaunchOnlyWhereItExists) {
  std::strcpy(g_setup_state->group, "Tolven No Such Product 7");
  char appdata[MAX_PATH] = "";
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, appdata, CSIDL_APPDATA, FALSE));
  std::string quick_launch = std::string(appdata) + "\\Microsoft\\Internet Explorer\\Quick Launch";
  FolderHiddenForTest hidden(quick_launch);
  FillDestinationAndOptions(dialog_, nullptr);
  std::string proposed = ControlText(IDC_FOLDER);
  EXPECT_NE(proposed.find("\\Tolven No Such Product 7"), std::string::npos) << proposed;
  EXPECT_TRUE(Checked(IDC_START_MENU));
  EXPECT_TRUE(Checked(IDC_DESKTOP_ICON));
  EXPECT_FALSE(Visible(IDC_QUICK_LAUNCH));
  EXPECT_EQ(Items().size(), 5u);
  for (const ListItem& item : Items()) EXPECT_EQ(item.check_image, 2u) << item.text;

  SHCreateDirectoryExA(nullptr, quick_launch.c_str(), nullptr);
  OpenDialog();
  FillDestinationAndOptions(dialog_, nullptr);
  EXPECT_TRUE(Checked(IDC_QUICK_LAUNCH));
  EXPECT_TRUE(Visible(IDC_QUICK_LAUNCH));
}

TEST(LanguageFilePathTest, FolderBaseCodeAndTail) {
  SetupState state = {};
  g_setup_state = &state;
  std::strcpy(state.lng_base_name, "PAINT");
  char path[260];
  MakeLanguageFilePath("C:\\Apps\\Paint", "FR", path, sizeof path);
  EXPECT_STREQ(path, "C:\\Apps\\Paint\\PAINT_FR.LNG");
  MakeLanguageFilePath("C:\\Apps\\Paint/", "FR", path, sizeof path);
  EXPECT_STREQ(path, "C:\\Apps\\Paint/PAINT_FR.LNG");
  MakeLanguageFilePath("C:\\Apps", "IT", path, 16);
  EXPECT_STREQ(path, "C:\\Apps\\PAINT_I") << "cut to the buffer";
  g_setup_state = nullptr;
}

}  // namespace
