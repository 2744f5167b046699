// The installing pass's callback on the setup dialog's language list and
// status line.
#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "common/bounded_text.h"
#include "install/install_context.h"
#include "install/place_entry.h"
#include "resources/resource_ids.h"
#include "shell/language_list.h"
#include "shell/packed_code.h"
#include "shell/setup_state.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/install/test_paths.h"
#include "tests/support/scratch.h"

namespace {

constexpr uint32_t kFrench = 0x5246;  // "FR"
constexpr uint32_t kDutch = 0x4C4E;   // "NL"

// On the program's own dialog: its language list, with French and Dutch
// besides the built-in languages, and its status line.
class PlaceEntryTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    CopyBounded(g_setup_state->lng_base_name, "PROG", sizeof g_setup_state->lng_base_name);
    AddBuiltInLanguages(list_);
    AddLanguageItem(list_, "French", kFrench);
    AddLanguageItem(list_, "Dutch", kDutch);
    folder_ = WindowsScratchFolder();
    context_ = InstallContext();
    context_.dialog = dialog_;
    CopyBounded(context_.edition_prefix, "xp", sizeof context_.edition_prefix);
    CopyBounded(context_.destination, folder_.c_str(), sizeof context_.destination);
  }

  void SetChecked(uint32_t code, bool checked) {
    SetItemCheckImage(list_, FindLanguageItem(list_, code), checked ? kStateChecked : kStateUnchecked);
  }

  // What the callback leaves in the name buffer for `entry`.
  std::string Place(const std::string& entry) {
    char name[260];
    CopyBounded(name, entry.c_str(), sizeof name);
    EXPECT_EQ(PlaceEntry(name, nullptr, 0, &context_), 0);
    return name;
  }

  InstallContext context_;
  std::string folder_;
};

TEST_F(PlaceEntryTest, ChoosesEntriesByEditionAndLanguage) {
  SetChecked(kFrench, false);
  struct Case {
    const char* edition;
    const char* entry;
    const char* placed;  // file name in the destination; "" skipped
    const char* why;
    const char* base = "PROG";  // of the language files
  };
  const Case cases[] = {
      {"9x", "9x\\PROG.EXE", "PROG.EXE", "the chosen edition's folder lands flat"},
      {"xp", "9x\\PROG.EXE", "", "another edition's folder"},
      {"xp", "XP\\Prog.exe", "Prog.exe", "folder names compare without case"},
      {"xp", "xp\\sub\\a.txt", "", "subfolders, even of the chosen edition"},
      {"9x", "9x\\sub\\a.txt", "", "subfolders, even of the chosen edition"},
      {"xp", "docs\\a.txt", "", "any other folder"},
      {"xp", "\\a.txt", "", "an empty folder part is no edition"},
      {"xp", "FILE_ID.DIZ", "FILE_ID.DIZ", "root entries always"},
      {"xp", "INSTALL.INF", "", "the package settings stay out"},
      {"xp", "xp\\setup.inf", "", "also from the edition folder, in any case"},
      {"xp", ".INF", ".INF", "a name that is only the tail holds no settings, as the description pass reads it"},
      {"xp", "PROG_FR.LNG", "", "an unchecked language"},
      {"xp", "xp\\prog_fr.chm", "", "the code is upper-cased before the search"},
      {"xp", "PROG_NL.LNG", "PROG_NL.LNG", "a checked language"},
      {"xp", "ABCD_FR.HLP", "", "only the underscore's position counts, not the base name"},
      {"xp", "PROG_XX.LNG", "PROG_XX.LNG", "a language the list does not hold"},
      {"xp", "PROG_LONGER.HLP", "PROG_LONGER.HLP", "five letters are no language code"},
      {"xp", "PROGRAM.HLP", "PROGRAM.HLP", "no underscore where the base name ends"},
      {"xp", "PROG_FR", "", "a code without extension"},
      {"xp", "_FR.LNG", "", "with no base name only a leading underscore starts the code", ""},
      {"xp", "PROG_FR.LNG", "PROG_FR.LNG", "with no base name PROG_FR is no language file", ""},
  };
  for (const Case& c : cases) {
    CopyBounded(context_.edition_prefix, c.edition, sizeof context_.edition_prefix);
    CopyBounded(g_setup_state->lng_base_name, c.base, sizeof g_setup_state->lng_base_name);
    std::string expected = c.placed[0] == '\0' ? "" : folder_ + "\\" + c.placed;
    EXPECT_EQ(Place(c.entry), expected) << c.entry << ": " << c.why;
  }
}

TEST_F(PlaceEntryTest, CountsGermanEntriesAndLeavesUncheckedOnesOut) {
  EXPECT_EQ(Place("PROG_DE.LNG"), folder_ + "\\PROG_DE.LNG");
  EXPECT_EQ(Place("xp\\PROG_de.CHM"), folder_ + "\\PROG_de.CHM");
  Place("PROG_NL.LNG");
  EXPECT_EQ(context_.german_count, 2);
  SetChecked(kCodeGerman, false);
  EXPECT_EQ(Place("PROG_DE.LNG"), "");
  EXPECT_EQ(context_.german_count, 2);
}

TEST_F(PlaceEntryTest, WithoutLanguageListEveryLanguageInstalls) {
  DestroyWindow(list_);
  EXPECT_EQ(Place("PROG_FR.LNG"), folder_ + "\\PROG_FR.LNG");
  g_setup_state->lng_base_name[0] = '\0';
  EXPECT_EQ(Place("_FR.LNG"), folder_ + "\\_FR.LNG");
}

TEST_F(PlaceEntryTest, RemembersSpecialEntries) {
  EXPECT_EQ(Place("LICENSE.TXT"), folder_ + "\\LICENSE.TXT");
  EXPECT_EQ(Place("xp\\license.txt"), folder_ + "\\license.txt");
  Place("ORDER.HTM");
  Place("bestell.htm");
  Place("UNINST.EXE");
  Place("PROG.EXE");
  Place("KPROG.exe");
  Place("KOTHER.EXE");
  EXPECT_STREQ(context_.license_file, "license.txt") << "a later entry replaces the name";
  EXPECT_STREQ(context_.order_file, "ORDER.HTM");
  EXPECT_STREQ(context_.order_file_de, "bestell.htm");
  EXPECT_STREQ(context_.uninstaller, "UNINST.EXE") << "the name as stored";
  EXPECT_STREQ(context_.main_exe, "KPROG.exe") << "the first K...EXE, not PROG.EXE";
}

TEST_F(PlaceEntryTest, MainProgramNamedByThePackageStays) {
  CopyBounded(context_.main_exe, "PAINT.EXE", sizeof context_.main_exe);
  Place("KPROG.EXE");
  EXPECT_STREQ(context_.main_exe, "PAINT.EXE");

  context_.main_exe[0] = '\0';
  Place("KAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.EXE");
  EXPECT_STREQ(context_.main_exe, "") << "a name too long for the field is not taken cut";
  Place("K.EXE");
  EXPECT_STREQ(context_.main_exe, "K.EXE");

  context_.main_exe[0] = '\0';
  Place("kprog.exe");
  EXPECT_STREQ(context_.main_exe, "kprog.exe") << "a lower-case k counts too";
}

// Such names are never skipped in silence either: the installation fails on
// them (the description pass has refused the package before).
TEST_F(PlaceEntryTest, NeverWritesNamesThatAreNotPlainFiles) {
  const char* const forbidden[] = {
      "xp\\",        ".",        "...",      "xp\\. .",     "CON",    "con.txt",   "NUL .TXT",  "PRN.",
      "aux.dat.bak", "COM1",     "lpt9.log", "COM\xB9.TXT", "CONIN$", "conout$.x", "A.TXT:hid", "A.TXT::$DATA",
      "C:EVIL.DLL",  "LPT0.TXT", "trail.",   "trail ",
  };
  for (const char* entry : forbidden) EXPECT_EQ(Place(entry), kUncreatableName) << entry;
  // Names that only look like devices.
  const char* const allowed[] = {"CONSOLE.TXT", "COM10", "NULL", "AUXILIARY.DAT", "COM.TXT", ".profile"};
  for (const char* entry : allowed) EXPECT_EQ(Place(entry), folder_ + "\\" + entry) << entry;
}

TEST_F(PlaceEntryTest, PathsThatDoNotFitAreNeverCut) {
  // destination + "\" + name fills exactly 259 characters.
  std::string fitting(259 - folder_.size() - 1, 'a');
  EXPECT_EQ(Place(fitting), folder_ + "\\" + fitting);
  EXPECT_EQ(Place(fitting + "b"), kUncreatableName) << "one character more";
  EXPECT_EQ(Place(std::string(259, 'n')), kUncreatableName) << "a name the walk may have cut";
  // Under a drive's root a file name of 256 fits the path, so only the
  // name's own length tells that the walk may have cut it.
  CopyBounded(context_.destination, "C:\\", sizeof context_.destination);
  EXPECT_EQ(Place("xp\\" + std::string(255, 'r')), "C:\\" + std::string(255, 'r')) << "a 258-character name";
  EXPECT_EQ(Place("xp\\" + std::string(256, 'r')), kUncreatableName) << "a 259-character name may have been cut";

  // The stand-in name can be created nowhere, so the pass fails there.
  EXPECT_EQ(CreateFileA(kUncreatableName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(PlaceEntryTest, DeletesWhatStandsAtTheOutputPathAndShowsIt) {
  WriteWholeFile(folder_ + "\\OLD.DAT", "old");
  EXPECT_EQ(Place("OLD.DAT"), folder_ + "\\OLD.DAT");
  EXPECT_EQ(GetFileAttributesA((folder_ + "\\OLD.DAT").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ControlText(IDC_STATUS), folder_ + "\\OLD.DAT");

  // A read-only one too: Windows deletes it only without the attribute.
  WriteWholeFile(folder_ + "\\OLD.DAT", "old");
  SetFileAttributesA((folder_ + "\\OLD.DAT").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Place("OLD.DAT"), folder_ + "\\OLD.DAT");
  EXPECT_EQ(GetFileAttributesA((folder_ + "\\OLD.DAT").c_str()), INVALID_FILE_ATTRIBUTES);

  // One that cannot be deleted stays; the driver's create then fails. The
  // status line changes at most every kStatusInterval ms: start afresh, as
  // a new pass does, so that this file is shown whatever the clock says.
  context_.status_shown_at = 0;
  std::string locked = folder_ + "\\LOCKED.DLL";
  WriteWholeFile(locked, "in use");
  HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Place("LOCKED.DLL"), locked);
  EXPECT_EQ(ReadWholeFile(locked), "in use");
  CloseHandle(held);

  // A skipped entry leaves the status line alone.
  Place("SETUP.INF");
  EXPECT_EQ(ControlText(IDC_STATUS), locked);
}

}  // namespace
