// Setup.exe as the user meets it: installers made from the built program
// with a package appended, started under Wine and read from the outside by
// the probe. Languages other than the system's default run in the same
// tests under another LC_ALL (see tests/CMakeLists.txt).
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/dialog/running_instance.h"
#include "tests/dialog/setup_probe.h"
#include "tests/dialog/test_installer.h"
#include "tests/e2e/installed_product.h"
#include "tests/dialog/text_bytes.h"
#include "tests/support/scratch.h"
#include "tools/archive_catalog.h"
#include "tools/archive_writer.h"

namespace {

// A small but complete package, as a product's author would make it.
std::vector<PackageEntry> SamplePackage(const std::string& settings) {
  return {
      {"FILE_ID.DIZ", "Tolven Paint Version 2.5 (freeware)\r\nA small paint program.\r\n"},
      {"PAINT.INF", settings},
      {"9x\\PAINT.EXE", "MZ classic edition"},
      {"xp\\PAINT.EXE", "MZ xp edition"},
      {"9x\\PAINT_FR.LNG",
       "[Strings]\r\nLanguage=Fran\xE7"
       "ais\r\n"},
      {"xp\\PAINT_FR.LNG", Utf16FileBytes(L"[Strings]\r\nLanguage=Fran\u00E7ais\r\n")},
      {"PAINT_IT.LNG", "[Info]\r\nLanguage=Italiano (Italia)\r\n"},
      {"README.TXT", std::string(5000, 'r')},
  };
}

const char kSettings[] = "[Setup]\r\nID=T7A\r\nGroup=Tolven Paint\r\nClass=TolvenPaintFrame\r\nExe=PAINT.EXE\r\n";

// The installer of `entries` in the test's scratch folder.
std::string MakeInstaller(const std::string& file_name, const std::vector<PackageEntry>& entries) {
  return WriteInstaller(ScratchFolder() + file_name, entries);
}

std::string ProgramFilesDir() {
  return RegistryText(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
}

const ProbedControl* Control(const DialogSnapshot& dialog, int id) {
  for (const ProbedControl& control : dialog.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

TEST(SetupProgramTest, DialogShowsThePackageInTheSystemLanguage) {
  const SetupTexts texts = SystemSetupTexts();
  ProbeResult result = ProbeSetup(MakeInstaller("paint-setup.exe", SamplePackage(kSettings)));
  ASSERT_TRUE(result.dialog_found) << DescribeSnapshot(result);
  const DialogSnapshot& dialog = result.dialog;
  SCOPED_TRACE(DescribeSnapshot(result));

  EXPECT_EQ(dialog.window_title, std::string(texts.title) + " Tolven Paint 2.5");
  RECT desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  const RECT& at = dialog.window_rect;
  EXPECT_EQ(at.left, ((desktop.right - desktop.left) - (at.right - at.left)) >> 1) << "centred";
  EXPECT_EQ(at.top, ((desktop.bottom - desktop.top) - (at.bottom - at.top)) >> 1) << "centred";
  EXPECT_EQ(dialog.title_text, "Tolven Paint 2.5");
  // 18 points against the dialog's 8: the title's letters are drawn about
  // twice as tall as the label's; a descender in the label ("Zielpfad:")
  // still leaves them half as tall again.
  EXPECT_GT(dialog.label_ink_height, 4);
  EXPECT_GE(dialog.title_ink_height * 10, dialog.label_ink_height * 15);

  // Controls in template order, which is also the tab order.
  struct {
    int id;
    const char* window_class;
    std::string text;
  } expected[] = {
      {99, "Button", "&OK"},
      {2, "Button", texts.cancel},
      {-1, "Static", ""},
      {-1, "Static", "(icon)"},
      {1001, "Static", "Tolven Paint 2.5"},
      {1002, "ComboBox", ""},
      {1010, "SysListView32", ""},
      {1031, "Static", texts.folder_label},
      {1032, "Edit", ""},
      {1033, "Button", "..."},
      {1041, "Button", texts.start_menu},
      {1042, "Button", texts.desktop_icon},
      {1043, "Button", texts.quick_launch},
      {1047, "Static", ""},
      {1048, "msctls_progress32", ""},
  };
  ASSERT_EQ(dialog.controls.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(dialog.controls[i].id, expected[i].id) << i;
    EXPECT_STRCASEEQ(dialog.controls[i].window_class.c_str(), expected[i].window_class) << i;
    if (expected[i].id != 1032 && expected[i].id != 1002 && expected[i].text != "(icon)") {
      EXPECT_EQ(dialog.controls[i].text, expected[i].text) << i;
    }
  }
  EXPECT_EQ(Control(dialog, 1010)->style & (LVS_TYPEMASK | LVS_SORTASCENDING), LVS_REPORT | LVS_SORTASCENDING);
  EXPECT_EQ(Control(dialog, 1002)->style & CBS_DROPDOWNLIST, static_cast<DWORD>(CBS_DROPDOWNLIST));
  EXPECT_EQ(dialog.controls[3].style & SS_TYPEMASK, static_cast<DWORD>(SS_ICON));

  ASSERT_EQ(dialog.editions.size(), 2u);
  EXPECT_EQ(dialog.editions[0].name, "Classic Edition (Windows 9x/ME)");
  EXPECT_EQ(dialog.editions[0].prefix, 0x7839u);  // "9x"
  EXPECT_EQ(dialog.editions[1].name, "XP/Vista Edition");
  EXPECT_EQ(dialog.editions[1].prefix, 0x7078u);  // "xp"
  EXPECT_EQ(dialog.edition_selection, 1) << "Wine reports the NT family";

  EXPECT_EQ(dialog.language_column, texts.column);
  // French twice (two edition folders) is listed once; all checked, sorted.
  std::vector<std::string> names;
  for (const ProbedLanguage& language : dialog.languages) {
    names.push_back(language.name);
    EXPECT_EQ(language.check_image, 2u) << language.name;
  }
  std::vector<std::string> sorted = {texts.english,
                                     "Fran\xE7"
                                     "ais",
                                     texts.german, "Italiano "};
  std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, 0, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
  });
  EXPECT_EQ(names, sorted);

  EXPECT_EQ(dialog.folder, ProgramFilesDir() + "\\Tolven Paint");
  EXPECT_TRUE(dialog.start_menu.checked);
  EXPECT_TRUE(dialog.desktop_icon.checked);
  EXPECT_EQ(dialog.quick_launch.visible, PathExists(QuickLaunchFolder()));
  EXPECT_EQ(dialog.quick_launch.checked, PathExists(QuickLaunchFolder()));
  EXPECT_EQ(dialog.status, "");

  EXPECT_TRUE(result.exited) << "Cancel ends the program";
  EXPECT_EQ(result.exit_code, 0u);
}

// A damaged package, and the program with no package at all: the message
// names the installer, and the program ends by itself after it.
TEST(SetupProgramTest, DamagedOrMissingPackageIsReported) {
  const std::string damaged = MakeInstaller("damaged-setup.exe", SamplePackage(kSettings));
  std::string bytes = ReadWholeFile(damaged);
  bytes[bytes.find(std::string(5000, 'r')) + 2500] ^= 0x55;  // in README.TXT's data
  WriteWholeFile(damaged, bytes);
  const size_t name_at = damaged.find_last_of("\\/") + 1;
  const std::string bare = damaged.substr(0, name_at) + "bare-setup.exe";
  WriteWholeFile(bare, ReadWholeFile(TOLVEN_SETUP_EXE));
  for (const std::string& installer : {damaged, bare}) {
    ProbeResult result = ProbeSetup(installer);
    ASSERT_TRUE(result.message_found) << DescribeSnapshot(result);
    EXPECT_EQ(result.message.caption, installer.substr(name_at));
    EXPECT_EQ(result.message.text, SystemSetupTexts().broken);
    EXPECT_FALSE(result.dialog_found);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, 0u);
  }
}

// Setup asks every window of the product's class to close while its dialog
// is open, once: a window that refuses may be asking its user about unsaved
// work, and would only ask again. Requests are counted over Setup's whole
// run, so a class never asked was not asked at any time.
TEST(SetupProgramTest, RunningInstancesOfTheProductsClassAreAskedToCloseOnce) {
  struct {
    const char* why;
    const char* settings;  // null: the package has no settings entry
    const char* asked;     // the class asked to close; null: none
  } cases[] = {
      {"Class names the window class", "ID=T7B\r\nGroup=Other\r\nClass=TolvenProbeFrame\r\n", "TolvenProbeFrame"},
      {"without Class the Group is the class", "ID=T7B\r\nGroup=TolvenProbeFrame\r\n", "TolvenProbeFrame"},
      {"another class is left alone", "ID=T7B\r\nClass=TolvenOtherFrame\r\n", "TolvenOtherFrame"},
      {"without Class, Group or title nothing is asked", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    RunningInstance probe_frame("TolvenProbeFrame");
    RunningInstance other_frame("TolvenOtherFrame");
    RunningInstance* asked = c.asked == nullptr                              ? nullptr
                             : std::strcmp(c.asked, "TolvenProbeFrame") == 0 ? &probe_frame
                                                                             : &other_frame;
    bool asked_once = false;
    ProbeOptions options;
    options.interact = [&](const OpenDialog&) {
      if (asked != nullptr) asked_once = asked->WaitForRequests(1);
      Sleep(500);  // room for a second request, which must not come
    };
    std::vector<PackageEntry> package = {{"README.TXT", "read me"}};
    if (c.settings != nullptr) package.insert(package.begin(), {"SETUP.INF", c.settings});
    ProbeResult result = ProbeSetup(MakeInstaller("class-setup.exe", package), options);
    ASSERT_TRUE(result.dialog_found) << c.why;
    EXPECT_EQ(result.dialog.window_title, std::string(SystemSetupTexts().title)) << "no FILE_ID.DIZ, no title";
    ASSERT_TRUE(result.exited) << c.why;
    for (const RunningInstance* running : {&probe_frame, &other_frame}) {
      if (running != asked) {
        EXPECT_EQ(running->requests().size(), 0u) << c.why << ": " << running->window_class();
        continue;
      }
      EXPECT_TRUE(asked_once) << c.why;
      EXPECT_EQ(running->requests().size(), 1u) << c.why;
    }
  }
}

std::vector<unsigned> CheckImages(const DialogSnapshot& dialog) {
  std::vector<unsigned> images;
  for (const ProbedLanguage& language : dialog.languages) images.push_back(language.check_image);
  return images;
}

bool WaitUntilGone(HWND window) {
  return WaitUntil([&] { return !IsWindow(window); });
}

TEST(SetupProgramTest, LanguageListContextMenuAndItsCommands) {
  const std::vector<unsigned> all_checked(4, 2u);
  const std::vector<unsigned> all_unchecked(4, 1u);
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    HWND list = GetDlgItem(open.dialog, 1010);
    SendMessageA(open.dialog, WM_COMMAND, 137, 0);
    EXPECT_EQ(CheckImages(ReadSnapshot(open)), all_unchecked) << "Deselect all";
    SendMessageA(open.dialog, WM_COMMAND, 138, 0);
    EXPECT_EQ(CheckImages(ReadSnapshot(open)), all_checked) << "Invert selection";
    SendMessageA(open.dialog, WM_COMMAND, 137, 0);

    // A right click elsewhere in the dialog opens nothing: the dialog has
    // answered it, and no menu is open (one would hold the answer back).
    DWORD_PTR ignored = 0;
    EXPECT_NE(SendMessageTimeoutA(open.dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(open.dialog),
                                  MAKELPARAM(100, 100), SMTO_BLOCK, kHangBoundMs, &ignored),
              0);
    EXPECT_EQ(FindProgramWindow(open, "#32768", nullptr), nullptr);

    // On the list the menu opens at the mouse cursor, also when asked for
    // from the keyboard (no position in the message). The cursor is placed
    // until it stays there once Setup has taken in every pointer event it
    // had queued: one from before the move would put it back.
    ASSERT_TRUE(WaitUntil([&] {
      SetCursorPos(300, 200);
      SendMessageTimeoutA(open.dialog, WM_NULL, 0, 0, SMTO_BLOCK, kHangBoundMs, &ignored);
      POINT cursor = {};
      GetCursorPos(&cursor);
      return cursor.x == 300 && cursor.y == 200;
    }));
    PostMessageA(open.dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
    HWND menu = WaitForWindow(open, "#32768", nullptr);
    ASSERT_NE(menu, nullptr);
    RECT at;
    GetWindowRect(menu, &at);
    EXPECT_EQ(at.left, 300);
    EXPECT_EQ(at.top, 200);
    // Three items tall (its items cannot be read from another process).
    int item_height = GetSystemMetrics(SM_CYMENU);
    EXPECT_GE(at.bottom - at.top, 3 * item_height - 3);
    EXPECT_LT(at.bottom - at.top, 4 * item_height);
    // Its first item, "Select all", from the keyboard.
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(WaitUntilGone(menu));
    EXPECT_EQ(CheckImages(ReadSnapshot(open)), all_checked) << "Select all from the menu";
  };
  ProbeResult result = ProbeSetup(MakeInstaller("menu-setup.exe", SamplePackage(kSettings)), options);
  ASSERT_TRUE(result.dialog_found);
  EXPECT_TRUE(result.exited);
}

TEST(SetupProgramTest, FolderBrowserStartsAtTheFolderOrItsParent) {
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    auto browse = [&]() {
      PostMessageA(open.dialog, WM_COMMAND, 1033, 0);
      HWND browser = WaitForWindow(open, "#32770", open.dialog);
      EXPECT_NE(browser, nullptr);
      return browser;
    };
    // The browser selects its root first and our folder once it has
    // initialised: wait for the folder expected.
    auto selected = [&](HWND browser, const std::string& expected) {
      HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
      std::string text;
      WaitUntil([&] { return (text = SelectedTreeItem(open, tree)) == expected; });
      return text;
    };
    HWND folder_edit = GetDlgItem(open.dialog, 1032);

    // "...\Tolven Paint" does not exist yet: its parent is preselected, and
    // OK makes the chosen folder the destination.
    HWND browser = browse();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(selected(browser, "Program Files"), "Program Files");
    PostMessageA(browser, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntilGone(browser));
    EXPECT_EQ(ReadSnapshot(open).folder, ProgramFilesDir());

    // An existing folder is preselected itself; Cancel keeps the edit.
    SendMessageA(folder_edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\windows\\system32"));
    browser = browse();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(selected(browser, "system32"), "system32");
    PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(browser));
    EXPECT_EQ(ReadSnapshot(open).folder, "C:\\windows\\system32");
  };
  ProbeResult result = ProbeSetup(MakeInstaller("browse-setup.exe", SamplePackage(kSettings)), options);
  ASSERT_TRUE(result.dialog_found);
  EXPECT_TRUE(result.exited);
}

}  // namespace
