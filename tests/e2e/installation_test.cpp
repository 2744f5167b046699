// Whole installations: the built Setup.exe with a package appended, started
// under Wine, its dialog set and OK pressed by the probe, every message box
// read and answered; the outcome is read from the prefix's files, registry
// and shortcuts. Each run of Setup takes seconds, so each test makes few.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive_format.h"
#include "archive/checksum.h"
#include "resources/resource_ids.h"
#include "tests/dialog/running_instance.h"
#include "tests/dialog/setup_probe.h"
#include "tests/dialog/test_installer.h"
#include "tests/e2e/installed_product.h"
#include "tests/install/test_paths.h"
#include "tools/archive_writer.h"
#include "tools/seal_record.h"
#include "uninstall/uninstall_texts.h"

namespace {

constexpr uint32_t kGerman = 0x4544;
constexpr uint32_t kItalian = 0x5449;
const char kGroup[] = "Tolvenwark E2E";
const char kPackageId[] = "TWE";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvenwark E2E";
const char kRemembered[] = "Software\\Tolvenwark";

const char kSettings[] = "[Package]\r\nID=TWE\r\nGroup=Tolvenwark E2E\r\nClass=TolvenwarkE2E\r\nExe=KDEMO.EXE\r\n";

// The sample product's layout: root files, two edition folders, German and
// Italian files, the special names and a subfolder that is never installed.
std::vector<PackageEntry> DemoPackage(const std::string& settings = kSettings) {
  return {
      {"FILE_ID.DIZ", "Tolvenwark E2E Version 1.0 (test package)\r\n"},
      {"DEMO.INF", settings},
      {"DEMO_DE.LNG", "[Strings]\r\nLanguage=Deutsch\r\n"},
      {"DEMO_IT.LNG", "[Strings]\r\nLanguage=Italiano\r\n"},
      {"DEMO_DE.HLP", "Hilfe"},
      {"DEMO_IT.HLP", "Aiuto"},
      {"9x\\README.TXT", "classic readme", DosTimeStamp(2006, 1, 2, 3, 4, 6)},
      {"xp\\README.TXT", "xp readme", DosTimeStamp(2006, 1, 2, 3, 4, 6)},
      {"9x\\KDEMO.EXE", "classic program"},
      {"xp\\KDEMO.EXE", std::string(20000, 'k')},
      {"xp\\extra\\NOTE.TXT", "in a subfolder"},
      {"LICENSE.TXT", "licence"},
      {"ORDER.HTM", "order"},
      {"BESTELL.HTM", "bestellen"},
      {"PSAPI.DLL", "our psapi"},
      {"UnInst.exe", "uninstaller"},
  };
}

const char kSampleGroup[] = "Tolvenwark Demo";
const char kSampleId[] = "TWD";
const char kSampleUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvenwark Demo";

// Removes what an earlier run left in the prefix: records and shortcuts.
void ForgetInstallation(const char* group = kGroup, const char* package_id = kPackageId,
                        const char* uninstall_key = kUninstallKey) {
  DeleteRegistryValue(HKEY_CURRENT_USER, kRemembered, package_id);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstall_key);
  const std::string link = std::string("\\") + group + ".lnk";
  DeleteFileA((ShellFolder(CSIDL_DESKTOPDIRECTORY) + link).c_str());
  DeleteFileA((QuickLaunchFolder() + link).c_str());
  std::string programs_group = ProgramsFolder() + "\\" + group;
  for (const std::string& name : FolderNames(programs_group)) DeleteFileA((programs_group + "\\" + name).c_str());
  RemoveDirectoryA(programs_group.c_str());
}

std::string Describe(const InstallOutcome& outcome) {
  std::string text;
  for (const MessageSnapshot& message : outcome.messages) text += "[" + message.caption + "] " + message.text + "\n";
  if (outcome.timed_out) text += "(timed out)\n";
  return text;
}

class InstallationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetInstallation();
    ForgetInstallation(kSampleGroup, kSampleId, kSampleUninstallKey);
    root_ = WindowsScratchFolder();
    folder_ = root_ + "\\Tolvenwark E2E";
    // Setup inherits the temporary folder, so that its fallback can be seen.
    temp_ = root_ + "\\temp";
    CreateDirectoryA(temp_.c_str(), nullptr);
    temporary_folder_ = std::make_unique<TemporaryFolderForTest>(temp_);
    // Quick Launch shortcuts can be made: the folder is there, with its parents.
    SHCreateDirectoryExA(nullptr, QuickLaunchFolder().c_str(), nullptr);
  }
  void TearDown() override {
    temporary_folder_.reset();
    ForgetInstallation();
    ForgetInstallation(kSampleGroup, kSampleId, kSampleUninstallKey);
  }

  std::string Installer(const std::string& file_name, const std::vector<PackageEntry>& entries) {
    return WriteInstaller(root_ + "\\" + file_name, entries);
  }

  std::string root_, folder_, temp_;
  std::unique_ptr<TemporaryFolderForTest> temporary_folder_;
};

TEST_F(InstallationTest, FreshInstallationInTheSystemLanguage) {
  const SetupTexts texts = SystemSetupTexts();
  CreateDirectoryA(folder_.c_str(), nullptr);
  WriteWholeFile(folder_ + "\\PSAPI.DLL", "the system's psapi");
  const std::string installer = Installer("e2e-setup.exe", DemoPackage());

  InstallOutcome outcome;
  std::string window_title;
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    window_title = ReadSnapshot(open).window_title;
    SetFolder(open, folder_);
    ChooseEdition(open, 1);
    SetLanguageChecked(open, kItalian, false);
    for (int option : {IDC_START_MENU, IDC_DESKTOP_ICON, IDC_QUICK_LAUNCH}) SetOption(open, option, true);
    outcome = PressInstall(open);
  };
  ProbeResult result = ProbeSetup(installer, options);
  ASSERT_TRUE(result.dialog_found) << DescribeSnapshot(result);
  SCOPED_TRACE(Describe(outcome));
  EXPECT_TRUE(outcome.dialog_closed);
  EXPECT_TRUE(result.exited);
  ASSERT_EQ(outcome.messages.size(), 2u);
  EXPECT_EQ(outcome.messages[0].text, texts.notice);
  EXPECT_EQ(outcome.messages[0].caption, "Tolvenwark E2E 1.0");
  EXPECT_EQ(outcome.messages[1].text, std::string(kGroup) + texts.installed);
  EXPECT_EQ(outcome.messages[1].caption, window_title);

  // Root entries and the XP edition's, flat; no Italian, no settings, no
  // subfolder; the PSAPI.DLL that was there moved aside.
  EXPECT_EQ(FolderNames(folder_), std::vector<std::string>({"BESTELL.HTM", "DEMO_DE.HLP", "DEMO_DE.LNG", "FILE_ID.DIZ",
                                                            "KDEMO.EXE", "KVPSAPI.DLL", "LICENSE.TXT", "ORDER.HTM",
                                                            "PSAPI.DLL", "README.TXT", "UnInst.exe"}));
  for (const PackageEntry& entry : DemoPackage()) {
    std::string name = entry.name.substr(entry.name.rfind('\\') + 1);
    if (entry.name.rfind("9x\\", 0) == 0 || name == "DEMO.INF" || name == "NOTE.TXT" ||
        name.find("_IT") != std::string::npos)
      continue;
    EXPECT_TRUE(ReadWholeFile(folder_ + "\\" + name) == entry.data) << entry.name << " differs";
  }
  EXPECT_EQ(ReadWholeFile(folder_ + "\\KVPSAPI.DLL"), "the system's psapi");
  for (const ListedItem& item : ListFolder(folder_)) {
    if (item.name == "README.TXT") {
      EXPECT_EQ(LocalTimeText(item.last_write), "2006-01-02 03:04:06");
    } else if (item.name == "LICENSE.TXT") {
      EXPECT_EQ(LocalTimeText(item.last_write), "2007-06-15 12:30:00");
    }
  }

  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kRemembered, kPackageId), folder_);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), kGroup);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + folder_ + "\\UnInst.exe\"");

  // Every shortcut starts in the installation folder.
  const std::string link = std::string("\\") + kGroup + ".lnk";
  const std::string group = ProgramsFolder() + "\\" + kGroup;
  struct Expected {
    std::string shortcut;
    std::string target;
  } shortcuts[] = {
      {ShellFolder(CSIDL_DESKTOPDIRECTORY) + link, "KDEMO.EXE"},
      {QuickLaunchFolder() + link, "KDEMO.EXE"},
      {group + link, "KDEMO.EXE"},
      {group + "\\Uninstall.lnk", "UnInst.exe"},
      {group + "\\License.lnk", "LICENSE.TXT"},
      {group + "\\Order.lnk", "ORDER.HTM"},
      {group + "\\Bestellung.lnk", "BESTELL.HTM"},
  };
  for (const Expected& expected : shortcuts) {
    ShortcutInfo info = ReadShortcut(expected.shortcut);
    EXPECT_TRUE(info.readable) << expected.shortcut;
    EXPECT_STRCASEEQ(info.target.c_str(), (folder_ + "\\" + expected.target).c_str()) << expected.shortcut;
    EXPECT_STRCASEEQ(info.working_directory.c_str(), folder_.c_str()) << expected.shortcut;
  }
  EXPECT_EQ(FolderNames(group).size(), 5u);

  // The next run proposes that folder exactly, with the languages that are
  // installed there and no shortcuts.
  ProbeResult again = ProbeSetup(installer);
  ASSERT_TRUE(again.dialog_found);
  EXPECT_EQ(again.dialog.folder, folder_);
  for (const ProbedLanguage& language : again.dialog.languages) {
    EXPECT_EQ(language.check_image, language.code == kItalian ? 1u : 2u) << language.name;
  }
  EXPECT_FALSE(again.dialog.start_menu.checked);
  EXPECT_FALSE(again.dialog.desktop_icon.checked);
  EXPECT_FALSE(again.dialog.quick_launch.checked);
}

// Empty folder, a file that cannot be replaced, and then success: three
// presses of OK in one dialog.
TEST_F(InstallationTest, FailedPressesLeaveTheDialogOpenUntilOneSucceeds) {
  const SetupTexts texts = SystemSetupTexts();
  CreateDirectoryA(folder_.c_str(), nullptr);
  const std::string held_path = folder_ + "\\KDEMO.EXE";
  WriteWholeFile(held_path, "the running program");
  HANDLE held = CreateFileA(held_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  InstallOutcome empty, locked, released;
  std::vector<std::string> after_failure, temp_after_failure;
  std::string held_after_failure, remembered_after_failure;
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    SetFolder(open, "");
    empty = PressInstall(open);
    SetFolder(open, folder_);
    locked = PressInstall(open);
    after_failure = FolderNames(folder_);
    temp_after_failure = FolderNames(temp_);
    held_after_failure = ReadWholeFile(held_path);
    remembered_after_failure = RegistryText(HKEY_CURRENT_USER, kRemembered, kPackageId);
    CloseHandle(held);
    released = PressInstall(open);
  };
  ProbeResult result = ProbeSetup(Installer("e2e-locked-setup.exe", DemoPackage()), options);
  ASSERT_TRUE(result.dialog_found);

  SCOPED_TRACE(Describe(empty) + Describe(locked) + Describe(released));
  ASSERT_EQ(empty.messages.size(), 1u) << "an empty folder shows only the notice";
  EXPECT_EQ(empty.messages[0].text, texts.notice);
  EXPECT_FALSE(empty.dialog_closed);

  // The first pass cannot replace the file, the retry writes into a
  // numbered temporary folder, and moving its files into place fails on
  // the same file: the user is told which, and the dialog stays.
  ASSERT_EQ(locked.messages.size(), 2u);
  EXPECT_EQ(locked.messages[0].text, texts.notice) << "the notice comes first on every press";
  EXPECT_EQ(locked.messages[1].caption, "KDEMO.EXE");
  EXPECT_NE(locked.messages[1].text, "");
  EXPECT_FALSE(locked.dialog_closed);
  EXPECT_EQ(held_after_failure, "the running program") << "still the old file, and said so";
  for (const std::string& name : after_failure) EXPECT_NE(name.back(), '\\') << "nothing nested: " << name;
  EXPECT_EQ(temp_after_failure, std::vector<std::string>()) << "the numbered folder is removed";
  EXPECT_EQ(remembered_after_failure, "(none)");

  ASSERT_EQ(released.messages.size(), 2u);
  EXPECT_EQ(released.messages[0].text, texts.notice);
  EXPECT_EQ(released.messages[1].text, std::string(kGroup) + texts.installed);
  EXPECT_TRUE(released.dialog_closed);
  EXPECT_TRUE(ReadWholeFile(held_path) == std::string(20000, 'k')) << "the new program replaced it";
  EXPECT_TRUE(result.exited);
}

TEST_F(InstallationTest, EntryThatCannotBeCreatedAnywhereShowsError82) {
  std::vector<PackageEntry> package = DemoPackage();
  package.push_back({"BAD|NAME.TXT", "no file system takes this name"});
  InstallOutcome outcome;
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    SetFolder(open, folder_);
    outcome = PressInstall(open);
  };
  ProbeResult result = ProbeSetup(Installer("e2e-bad-name-setup.exe", package), options);
  ASSERT_TRUE(result.dialog_found);
  SCOPED_TRACE(Describe(outcome));
  ASSERT_EQ(outcome.messages.size(), 2u);
  EXPECT_EQ(outcome.messages[1].text, SystemText(82));
  EXPECT_EQ(outcome.messages[1].caption, "");
  EXPECT_FALSE(outcome.dialog_closed);
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kRemembered, kPackageId), "(none)");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "(none)");
}

// On the 9x platform (Wine's "win98" setting for this file name) the
// Classic edition is chosen and installed. The package names no main
// program, so no shortcut is made although every box is checked.
TEST_F(InstallationTest, Windows98InstallsTheClassicEditionWithoutShortcutsWhenNoMainProgram) {
  Windows98ForProgram windows98("e2e-win98-setup.exe");
  ASSERT_TRUE(windows98.made());

  std::vector<PackageEntry> package = DemoPackage("[Package]\r\nID=TWE\r\nGroup=Tolvenwark E2E\r\n");
  for (PackageEntry& entry : package) {
    if (entry.name.find("KDEMO.EXE") != std::string::npos) entry.name.replace(entry.name.find("KDEMO"), 1, "P");
  }
  InstallOutcome outcome;
  int edition = -1;
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    edition = ReadSnapshot(open).edition_selection;
    SetFolder(open, folder_);
    for (int option : {IDC_START_MENU, IDC_DESKTOP_ICON, IDC_QUICK_LAUNCH}) SetOption(open, option, true);
    outcome = PressInstall(open);
  };
  ProbeResult result = ProbeSetup(Installer("e2e-win98-setup.exe", package), options);
  ASSERT_TRUE(result.dialog_found);
  SCOPED_TRACE(Describe(outcome));
  EXPECT_EQ(edition, 0);
  EXPECT_TRUE(outcome.dialog_closed);
  EXPECT_EQ(ReadWholeFile(folder_ + "\\README.TXT"), "classic readme");
  EXPECT_EQ(ReadWholeFile(folder_ + "\\PDEMO.EXE"), "classic program");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + folder_ + "\\UnInst.exe\"");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon"), "\"" + folder_ + "\\UnInst.exe\"")
      << "without a main program, the uninstaller's icon";
  const std::string link = std::string("\\") + kGroup + ".lnk";
  EXPECT_FALSE(PathExists(ShellFolder(CSIDL_DESKTOPDIRECTORY) + link));
  EXPECT_FALSE(PathExists(QuickLaunchFolder() + link));
  EXPECT_FALSE(PathExists(ProgramsFolder() + "\\" + kGroup));
}

// Waits for a visible message box of any program with this caption, reads
// it and answers it with `button`; the box's text, or "(none)".
std::string AnswerBox(const char* caption, int button) {
  HWND box = nullptr;
  auto shown = [&] {
    for (box = nullptr; (box = FindWindowExA(nullptr, box, "#32770", caption)) != nullptr;) {
      if (IsWindowVisible(box)) return true;
    }
    return false;
  };
  if (!WaitUntil(shown)) return "(none)";
  std::string text = ReadMessageBox(box).text;
  PostMessageA(box, WM_COMMAND, button, 0);
  // Gone before the next box is looked for, which may bear the same caption.
  WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
  return text;
}

// What a silent Setup showed while it ran, and how it ended.
struct SilentRun {
  bool ended = false;
  DWORD exit_code = 0;
  std::vector<std::string> shown;  // "class: title" of every top-level window it showed
  std::string log;                 // the file of /LOG=, when the arguments name `log_path`
};

// The process watched, or 0 for every process but this one; then windows
// that were there before the run are not its.
DWORD g_watched_process = 0;
std::vector<std::string>* g_shown = nullptr;
std::set<HWND> g_windows_before;

void NoteWindow(HWND window, bool close) {
  char window_class[64] = "";
  char title[256] = "";
  GetClassNameA(window, window_class, sizeof window_class);
  GetWindowTextA(window, title, sizeof title);
  g_shown->push_back(std::string(window_class) + ": " + title);
  // A box or a dialog waits for an answer; closing it lets the run end.
  if (close) PostMessageA(window, WM_CLOSE, 0, 0);
}

bool IsWatchedTopLevel(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  bool watched = g_watched_process != 0 ? process == g_watched_process
                                        : process != GetCurrentProcessId() && g_windows_before.count(window) == 0;
  return watched && GetAncestor(window, GA_PARENT) == GetDesktopWindow();
}

BOOL CALLBACK NoteWindowBefore(HWND window, LPARAM) {
  g_windows_before.insert(window);
  return TRUE;
}

// Every window of the process that the system shows, at the moment it
// shows, however briefly.
void CALLBACK NoteShownWindow(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
  if (object == OBJID_WINDOW && window != nullptr && IsWatchedTopLevel(window)) NoteWindow(window, false);
}

// And every window of it that is visible when we look.
BOOL CALLBACK NoteVisibleWindow(HWND window, LPARAM) {
  if (IsWatchedTopLevel(window) && IsWindowVisible(window)) NoteWindow(window, true);
  return TRUE;
}

// Runs `installer` with `arguments` (without one, `arguments` is the whole
// command) and watches it until it ends: its own windows, or with
// `every_process` the windows of any program it starts as well.
SilentRun RunWatched(const std::string& installer, const std::string& arguments, const std::string& log_path = "",
                     bool every_process = false) {
  SilentRun run;
  Process setup(installer, arguments, CREATE_SUSPENDED);
  if (!setup.started) return run;
  g_watched_process = every_process ? 0 : setup.info.dwProcessId;
  g_windows_before.clear();
  EnumWindows(NoteWindowBefore, 0);
  g_shown = &run.shown;
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, NoteShownWindow,
                                       g_watched_process, 0, WINEVENT_OUTOFCONTEXT);
  ResumeThread(setup.info.hThread);
  // Out-of-context events arrive as messages of this thread.
  for (DWORD start = GetTickCount(); GetTickCount() - start < kHangBoundMs;) {
    DWORD woke = MsgWaitForMultipleObjects(1, &setup.info.hProcess, FALSE, 100, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (woke == WAIT_OBJECT_0) {
      run.ended = true;
      break;
    }
    EnumWindows(NoteVisibleWindow, 0);
  }
  if (hook != nullptr) UnhookWinEvent(hook);
  g_shown = nullptr;
  run.exit_code = setup.ExitCode();
  if (!log_path.empty()) run.log = ReadWholeFile(log_path);
  return run;
}

// The sample built by mksetup, as the package author does it (with another
// build of Setup.exe or of the ready uninstaller where one is named).
std::string BuildSampleInstaller(const std::string& root, const std::string& stub = TOLVEN_SETUP_EXE,
                                 const std::string& uninstaller = "") {
  const std::string installer = root + "\\TolvenwarkDemoSetup.exe";
  const std::string said = root + "\\mksetup.txt";
  Process build(TOLVEN_MKSETUP_EXE,
                std::string("build \"") + TOLVEN_SAMPLE_PACKAGE + "\" -o \"" + installer + "\" --stub \"" + stub +
                    (uninstaller.empty() ? "\" --uninstaller" : "\" --uninstaller-stub \"" + uninstaller + "\""),
                0, said);
  EXPECT_TRUE(build.started && build.Ended() && build.ExitCode() == 0) << ReadWholeFile(said);
  EXPECT_EQ(ReadWholeFile(said).find("warning"), std::string::npos) << "the sample is a package as it should be:\n"
                                                                    << ReadWholeFile(said);
  return installer;
}

// The sample as package authors ship it: built by mksetup and then signed,
// which puts a certificate table after the archive (the build tree's copy,
// signed before the tests ran). mksetup test passes it and says it is signed.
std::string SignedSampleInstaller(const std::string& root) {
  const std::string installer = root + "\\TolvenwarkDemoSetup.exe";
  WriteWholeFile(installer, ReadWholeFile(TOLVEN_SIGNED_SAMPLE));
  const std::string said = root + "\\mksetup.txt";
  Process test(TOLVEN_MKSETUP_EXE, "test \"" + installer + "\"", 0, said);
  EXPECT_TRUE(test.started && test.Ended() && test.ExitCode() == 0) << ReadWholeFile(said);
  EXPECT_NE(ReadWholeFile(said).find("signed: a certificate table of "), std::string::npos) << ReadWholeFile(said);
  return installer;
}

// The sample's files, byte for byte: root files and the XP edition's, and
// the uninstaller that mksetup added; the names installed, sorted.
std::vector<std::string> ExpectSampleFiles(const std::string& folder) {
  const std::string package = std::string(TOLVEN_SAMPLE_PACKAGE);
  std::vector<std::string> expected = {"UnInst.exe"};
  for (const std::string& from : {package, package + "\\xp"}) {
    for (const ListedItem& item : ListFolder(from)) {
      if (item.is_folder || item.name == "DEMO.INF") continue;
      expected.push_back(item.name);
      EXPECT_TRUE(ReadWholeFile(folder + "\\" + item.name) == ReadWholeFile(from + "\\" + item.name)) << item.name;
    }
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FolderNames(folder), expected);
  return expected;
}

// A text of the uninstaller's with its two names filled in.
std::string Composed(const char* pattern, const std::string& first, const std::string& second = "") {
  char text[kMessageSize] = "";
  AppendComposed(text, sizeof text, pattern, first.c_str(), second.c_str());
  return text;
}

// Runs the product's registered uninstall command the way the system's
// list of installed programs does, with the system finding the program in
// the command line, and answers the uninstaller's question (asserted to
// be the one for `product` in `folder`) and report. What the report says,
// or "(none)".
std::string UninstallAsTheSystemDoes(const char* uninstall_key, const char* product, const std::string& folder) {
  const UninstallTexts& texts = TextsOfSystemLanguage();
  const std::string command = RegistryText(HKEY_LOCAL_MACHINE, uninstall_key, "UninstallString");
  Process uninstall("", command);
  EXPECT_TRUE(uninstall.started) << command;
  if (!uninstall.started) return "(none)";
  EXPECT_EQ(AnswerBox(texts.caption, IDYES), Composed(texts.question, product, folder)) << command;
  EXPECT_TRUE(uninstall.Ended());
  EXPECT_EQ(uninstall.ExitCode(), 0u);
  return AnswerBox(texts.caption, IDOK);
}

// The product's folder where the dialog proposes it, and the remembered
// value that an earlier run may have left.
std::string ProgramFilesFolder(const char* product) { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\" + product; }

// Removes a folder with whatever an earlier, failed run left in it.
void RemoveTree(const std::string& folder) {
  for (const ListedItem& item : ListFolder(folder)) {
    std::string path = folder + "\\" + item.name;
    if (item.is_folder) {
      RemoveTree(path);
    } else {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
  }
  RemoveDirectoryA(folder.c_str());
}

// What Windows does at its next start: the deletions left to it.
void Restart() {
  Process restart("C:\\windows\\system32\\wineboot.exe", "--restart");
  EXPECT_TRUE(restart.started && restart.Ended());
}

std::string PendingDeletions() {
  HKEY key;
  std::string pending;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return pending;
  }
  char data[8192];
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) ==
      ERROR_SUCCESS) {
    pending.assign(data, size);
  }
  RegCloseKey(key);
  return pending;
}

// The uninstaller's copies in the temporary folder: what an uninstallation
// leaves until the next restart.
std::vector<std::string> CopiesLeft(const std::string& temp, const PrefixSnapshot& before,
                                    const PrefixSnapshot& after) {
  std::vector<std::string> copies;
  for (const std::string& change : Changes(before.temporary, after.temporary)) {
    if (change.rfind("+ " + temp + "\\Uninstall-", 0) == 0 && change.back() == '\\') {
      copies.push_back(change.substr(2 + temp.size() + 1));
    } else if (change.find("\\UnInst.exe ") == std::string::npos) {
      copies.push_back("unexpected: " + change);
    }
  }
  return copies;
}

// Nothing of any package left in the prefix: files under C:\, uninstall
// entries, remembered folders; only the uninstaller's copies, each awaiting
// the next restart in a folder of its own.
void ExpectNothingButCopies(const std::string& temp, const PrefixSnapshot& before,
                            const std::vector<std::string>& copies) {
  PrefixSnapshot after = TakePrefixSnapshot(temp);
  EXPECT_EQ(Changes(before.files, after.files), std::vector<std::string>());
  EXPECT_EQ(Changes(before.uninstall_entries, after.uninstall_entries), std::vector<std::string>());
  EXPECT_EQ(Changes(before.remembered, after.remembered), std::vector<std::string>());
  EXPECT_EQ(CopiesLeft(temp, before, after), copies);
  for (const std::string& copy : copies) {
    EXPECT_NE(PendingDeletions().find(temp + "\\" + copy + "UnInst.exe"), std::string::npos) << copy;
  }
}

// Folders and records a failed run may have left, for both products of
// these tests.
void ForgetProgramFilesInstallations() {
  for (const char* product : {kSampleGroup, "Tolvenwark Clock"}) RemoveTree(ProgramFilesFolder(product));
  ForgetInstallation("Tolvenwark Clock", "TWC",
                     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvenwark Clock");
  // An empty key of remembered folders, as earlier tests leave it, is one
  // that the uninstaller removes.
  HKEY remembered;
  DWORD values = 1;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRemembered, 0, KEY_READ, &remembered) == ERROR_SUCCESS) {
    RegQueryInfoKeyA(remembered, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(remembered);
    if (values == 0) RegDeleteKeyA(HKEY_CURRENT_USER, kRemembered);
  }
}

// The sample product as a package author ships it: mksetup's package of
// examples/sample-product with our Setup.exe and the ready uninstaller,
// signed. Installed with every shortcut into the folder the dialog
// proposes, its running program closed by the next Setup, and removed by
// the command registered for it, run as Programs and Features runs it,
// although a C:\Program.exe lies in wait for an unquoted one.
TEST_F(InstallationTest, RegisteredUninstallCommandRemovesTheSampleInstalledWithEveryShortcut) {
  ForgetProgramFilesInstallations();
  const UninstallTexts& texts = TextsOfSystemLanguage();
  const std::string installer = SignedSampleInstaller(root_);
  const std::string folder = ProgramFilesFolder(kSampleGroup);
  ASSERT_NE(folder.find(' '), std::string::npos) << "a folder with a blank in its path";
  const PrefixSnapshot before = TakePrefixSnapshot(temp_);
  InstallOutcome outcome;
  std::string proposed;
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    proposed = ReadSnapshot(open).folder;
    ChooseEdition(open, 1);
    for (int option : {IDC_START_MENU, IDC_DESKTOP_ICON, IDC_QUICK_LAUNCH}) SetOption(open, option, true);
    outcome = PressInstall(open);
  };
  ProbeResult result = ProbeSetup(installer, options);
  ASSERT_TRUE(result.dialog_found) << DescribeSnapshot(result);
  ASSERT_TRUE(outcome.dialog_closed) << Describe(outcome);
  EXPECT_EQ(proposed, folder);
  uint64_t installed_bytes = 0;
  ExpectSampleFiles(folder);
  for (const ListedItem& item : ListFolder(folder)) installed_bytes += item.size;
  const std::string group = ProgramsFolder() + "\\" + kSampleGroup;
  EXPECT_EQ(FolderNames(group).size(), 5u) << "program, uninstaller, licence and both order forms";
  const struct {
    const char* name;
    std::string data;
  } values[] = {
      {"DisplayName", kSampleGroup},
      {"UninstallString", "\"" + folder + "\\UnInst.exe\""},
      {"QuietUninstallString", "\"" + folder + "\\UnInst.exe\" /S"},
      {"DisplayIcon", "\"" + folder + "\\KDEMO.EXE\""},
      {"DisplayVersion", "1.0"},
      {"Publisher", "Tolvenwark Software"},
      {"InstallLocation", folder},
      {"EstimatedSize", "dword " + std::to_string((installed_bytes + 1023) / 1024)},
      {"NoModify", "dword 1"},
      {"NoRepair", "dword 1"},
  };
  for (const auto& value : values) {
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, value.name), value.data) << value.name;
  }

  // The product runs; the next Setup closes it.
  Process program(folder + "\\KDEMO.EXE", "");
  ASSERT_TRUE(program.started);
  ASSERT_TRUE(WaitUntil([] { return FindWindowA("TolvenwarkDemo", nullptr) != nullptr; }));
  bool closed = false;
  ProbeOptions wait_for_close;
  wait_for_close.interact = [&](const OpenDialog&) { closed = program.Ended(); };
  EXPECT_TRUE(ProbeSetup(installer, wait_for_close).dialog_found);
  EXPECT_TRUE(closed) << "Setup closes the running program while its dialog is open";

  // Asked once, in the system's language; the copy then does the work and
  // says so.
  const std::string program_exe = ShellFolder(CSIDL_PROGRAM_FILES).substr(0, 3) + "Program.exe";
  ASSERT_TRUE(CopyFileA(TOLVEN_PLANTED_PROGRAM, program_exe.c_str(), FALSE)) << program_exe;
  EXPECT_EQ(UninstallAsTheSystemDoes(kSampleUninstallKey, kSampleGroup, folder), Composed(texts.removed, kSampleGroup));
  EXPECT_FALSE(PathExists(program_exe + ".ran")) << ReadWholeFile(program_exe + ".ran");
  DeleteFileA(program_exe.c_str());
  DeleteFileA((program_exe + ".ran").c_str());
  EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder); }));
  ExpectNothingButCopies(temp_, before, {"Uninstall-0001\\"});
  Restart();
  EXPECT_EQ(Changes(before.temporary, TakePrefixSnapshot(temp_).temporary), std::vector<std::string>());
}

// An administrator's round: Setup /S, then the registered quiet command;
// neither shows a window, and both end with 0.
TEST_F(InstallationTest, QuietUninstallStringRemovesASilentInstallationWithoutAWindow) {
  ForgetProgramFilesInstallations();
  const std::string installer = BuildSampleInstaller(root_);
  const std::string folder = ProgramFilesFolder(kSampleGroup);
  const PrefixSnapshot before = TakePrefixSnapshot(temp_);
  SilentRun install = RunWatched(installer, "/S");
  ASSERT_TRUE(install.ended);
  ASSERT_EQ(install.exit_code, 0u);
  ExpectSampleFiles(folder);
  const std::string quiet = RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "QuietUninstallString");
  EXPECT_EQ(quiet, "\"" + folder + "\\UnInst.exe\" /S");

  // Arguments it does not take end it with 1 before anything goes.
  const std::string elsewhere = root_ + "\\elsewhere";
  CreateDirectoryA(elsewhere.c_str(), nullptr);
  WriteWholeFile(elsewhere + "\\README.TXT", "not the package's");
  for (const std::string& wrong : {std::string(" /X"), std::string(" hello"), " /LOG=" + root_ + "\\u.log",
                                   " /D=" + elsewhere}) {  // a folder without this very uninstaller
    SilentRun refused = RunWatched("", quiet + wrong, "", true);
    EXPECT_EQ(refused.exit_code, 1u) << wrong;
    EXPECT_EQ(refused.shown, std::vector<std::string>()) << wrong;
  }
  EXPECT_EQ(ReadWholeFile(elsewhere + "\\README.TXT"), "not the package's");
  ExpectSampleFiles(folder);

  SilentRun removal = RunWatched("", quiet, "", true);
  ASSERT_TRUE(removal.ended);
  EXPECT_EQ(removal.exit_code, 0u);
  EXPECT_EQ(removal.shown, std::vector<std::string>()) << "no question, no box";
  EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder); }));
  ExpectNothingButCopies(temp_, before, {"Uninstall-0001\\"});
  Restart();
}

// What the user put into the product's folder stays, and with it the
// folder. On the 9x platform (Wine's "win98" setting for both programs)
// the copy awaits the restart in wininit.ini.
TEST_F(InstallationTest, AUserFileStaysAndAnInstallationOnWindows98UninstallsToo) {
  ForgetProgramFilesInstallations();
  const std::string installer = BuildSampleInstaller(root_);
  Windows98ForProgram setup_on_98("TolvenwarkDemoSetup.exe");
  Windows98ForProgram uninstaller_on_98("UnInst.exe");
  ASSERT_TRUE(setup_on_98.made() && uninstaller_on_98.made());
  const std::string folder = ProgramFilesFolder(kSampleGroup);
  const std::string wininit = ShellFolder(CSIDL_WINDOWS) + "\\wininit.ini";
  const PrefixSnapshot before = TakePrefixSnapshot(temp_);
  SilentRun install = RunWatched(installer, "/S");
  ASSERT_TRUE(install.ended);
  ASSERT_EQ(install.exit_code, 0u);
  EXPECT_EQ(ReadWholeFile(folder + "\\README.TXT"),
            ReadWholeFile(std::string(TOLVEN_SAMPLE_PACKAGE) + "\\9x\\README.TXT"))
      << "the Classic edition";
  WriteWholeFile(folder + "\\MY NOTES.TXT", "the user's own");

  SilentRun removal =
      RunWatched("", RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "QuietUninstallString"), "", true);
  ASSERT_TRUE(removal.ended);
  EXPECT_EQ(removal.exit_code, 0u);
  // The copy notes itself in wininit.ini as its last step, which may come
  // after the folder is down to the user's file: wait for both.
  char copy[MAX_PATH] = "";
  GetShortPathNameA((temp_ + "\\Uninstall-0001\\UnInst.exe").c_str(), copy, sizeof copy);
  EXPECT_TRUE(WaitUntil([&] {
    return FolderNames(folder) == std::vector<std::string>{"MY NOTES.TXT"} &&
           ReadWholeFile(wininit).find(std::string("NUL=") + copy + "\r\n") != std::string::npos;
  })) << "only the user's file is left, and the copy awaits the restart";
  PrefixSnapshot after = TakePrefixSnapshot(temp_);
  std::vector<std::string> left = Changes(before.files, after.files);
  ASSERT_EQ(left.size(), 3u) << "the folder, the user's file and wininit.ini";
  EXPECT_EQ(left[0], "+ " + folder + "\\");
  EXPECT_EQ(left[1].rfind("+ " + folder + "\\MY NOTES.TXT ", 0), 0u) << left[1];
  EXPECT_EQ(left[2].rfind("+ " + wininit + " ", 0), 0u) << left[2];
  EXPECT_EQ(Changes(before.uninstall_entries, after.uninstall_entries), std::vector<std::string>());
  EXPECT_EQ(Changes(before.remembered, after.remembered), std::vector<std::string>());
  EXPECT_EQ(CopiesLeft(temp_, before, after), std::vector<std::string>{"Uninstall-0001\\"});
  EXPECT_NE(ReadWholeFile(wininit).find(std::string("NUL=") + copy + "\r\n"), std::string::npos)
      << ReadWholeFile(wininit);
  EXPECT_EQ(PendingDeletions().find(temp_ + "\\Uninstall-0001"), std::string::npos) << "not the NT list";

  // The restart deletes the copy but, on 9x, not its folder: the next
  // uninstallation takes that empty folder's place.
  Restart();
  EXPECT_FALSE(PathExists(temp_ + "\\Uninstall-0001\\UnInst.exe")) << "the copy goes when Windows restarts";
  DeleteFileA(wininit.c_str());
  DeleteFileA((ShellFolder(CSIDL_WINDOWS) + "\\wininit.bak").c_str());
  RemoveTree(folder);
  ASSERT_EQ(RunWatched(installer, "/S").exit_code, 0u);
  EXPECT_EQ(
      RunWatched("", RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "QuietUninstallString"), "", true).exit_code,
      0u);
  EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder); }));
  EXPECT_EQ(FolderNames(temp_), std::vector<std::string>{"Uninstall-0001\\"});
  Restart();
  DeleteFileA(wininit.c_str());
  DeleteFileA((ShellFolder(CSIDL_WINDOWS) + "\\wininit.bak").c_str());
  RemoveTree(temp_ + "\\Uninstall-0001");
}

// A second product, laid out and built as its author would from a folder
// of its own, shares file names with the sample; removing it leaves the
// sample exactly as it was, and each uninstallation's copy gets a folder
// of its own.
TEST_F(InstallationTest, ASecondProductBuiltWithTheUninstallerIsRemovedWithoutTouchingTheFirst) {
  ForgetProgramFilesInstallations();
  const std::string product = root_ + "\\clock";
  CreateDirectoryA(product.c_str(), nullptr);
  WriteWholeFile(product + "\\FILE_ID.DIZ", "Tolvenwark Clock Version 2.0 (a second product)\r\n");
  WriteWholeFile(product + "\\CLOCK.INF", "[Package]\r\nID=TWC\r\nGroup=Tolvenwark Clock\r\nExe=KCLOCK.EXE\r\n");
  WriteWholeFile(product + "\\KCLOCK.EXE", ReadWholeFile(std::string(TOLVEN_SAMPLE_PACKAGE) + "\\xp\\KDEMO.EXE"));
  WriteWholeFile(product + "\\README.TXT", "the clock's readme");
  WriteWholeFile(product + "\\LICENSE.TXT", "the clock's licence");
  const std::string clock_installer = root_ + "\\ClockSetup.exe";
  const std::string said = root_ + "\\clock-mksetup.txt";
  Process build(
      TOLVEN_MKSETUP_EXE,
      "build \"" + product + "\" -o \"" + clock_installer + "\" --stub \"" TOLVEN_SETUP_EXE "\" --uninstaller", 0,
      said);
  ASSERT_TRUE(build.started && build.Ended() && build.ExitCode() == 0) << ReadWholeFile(said);

  const PrefixSnapshot before = TakePrefixSnapshot(temp_);
  ASSERT_EQ(RunWatched(BuildSampleInstaller(root_), "/S").exit_code, 0u);
  const PrefixSnapshot with_sample = TakePrefixSnapshot(temp_);
  SilentRun install = RunWatched(clock_installer, "/S");
  ASSERT_EQ(install.exit_code, 0u);
  const std::string clock = ProgramFilesFolder("Tolvenwark Clock");
  const std::string clock_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvenwark Clock";
  EXPECT_EQ(FolderNames(clock),
            std::vector<std::string>({"FILE_ID.DIZ", "KCLOCK.EXE", "LICENSE.TXT", "README.TXT", "UnInst.exe"}));

  SilentRun clock_removal =
      RunWatched("", RegistryText(HKEY_LOCAL_MACHINE, clock_key, "QuietUninstallString"), "", true);
  EXPECT_EQ(clock_removal.exit_code, 0u);
  EXPECT_TRUE(WaitUntil([&] { return !PathExists(clock); }));
  ExpectNothingButCopies(temp_, with_sample, {"Uninstall-0001\\"});

  SilentRun sample_removal =
      RunWatched("", RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "QuietUninstallString"), "", true);
  EXPECT_EQ(sample_removal.exit_code, 0u);
  EXPECT_TRUE(WaitUntil([&] { return !PathExists(ProgramFilesFolder(kSampleGroup)); }));
  ExpectNothingButCopies(temp_, before, {"Uninstall-0001\\", "Uninstall-0002\\"});
  Restart();
}

// A file that another program holds open: the user is told which before
// anything is removed, and chooses; a silent run removes everything else
// and leaves the file and its folder to the next restart.
TEST_F(InstallationTest, AFileInUseIsNamedBeforeAnythingGoesOrLeftToTheRestart) {
  ForgetProgramFilesInstallations();
  const UninstallTexts& texts = TextsOfSystemLanguage();
  const std::string installer = BuildSampleInstaller(root_);
  const std::string folder = ProgramFilesFolder(kSampleGroup);
  const std::string program = folder + "\\KDEMO.EXE";
  const PrefixSnapshot before = TakePrefixSnapshot(temp_);
  ASSERT_EQ(RunWatched(installer, "/S").exit_code, 0u);
  const std::string command = RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "UninstallString");
  auto hold = [&] {
    return CreateFileA(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  };

  HANDLE held = hold();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  {
    Process cancelled("", command);
    EXPECT_EQ(AnswerBox(texts.caption, IDYES), Composed(texts.question, kSampleGroup, folder));
    EXPECT_EQ(AnswerBox(texts.caption, IDCANCEL), Composed(texts.in_use, "KDEMO.EXE"));
    EXPECT_TRUE(cancelled.Ended());
    EXPECT_EQ(cancelled.ExitCode(), 4u);
    ExpectSampleFiles(folder);
    EXPECT_NE(RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "UninstallString"), "(none)");
    EXPECT_EQ(FolderNames(temp_), std::vector<std::string>()) << "no copy was made";
  }
  {
    Process retried("", command);
    EXPECT_EQ(AnswerBox(texts.caption, IDYES), Composed(texts.question, kSampleGroup, folder));
    // Released only once the uninstaller has named the file.
    const std::string in_use = Composed(texts.in_use, "KDEMO.EXE");
    ASSERT_TRUE(WaitUntil([&] {
      for (HWND box = nullptr; (box = FindWindowExA(nullptr, box, "#32770", texts.caption)) != nullptr;) {
        if (IsWindowVisible(box) && ReadMessageBox(box).text == in_use) return true;
      }
      return false;
    }));
    CloseHandle(held);
    EXPECT_EQ(AnswerBox(texts.caption, IDRETRY), in_use);
    EXPECT_TRUE(retried.Ended());
    EXPECT_EQ(retried.ExitCode(), 0u);
    EXPECT_EQ(AnswerBox(texts.caption, IDOK), Composed(texts.removed, kSampleGroup));
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder); }));
  }
  ExpectNothingButCopies(temp_, before, {"Uninstall-0001\\"});

  ASSERT_EQ(RunWatched(installer, "/S").exit_code, 0u);
  held = hold();
  SilentRun silent =
      RunWatched("", RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "QuietUninstallString"), "", true);
  EXPECT_EQ(silent.exit_code, 3u) << "something stays until the restart";
  EXPECT_TRUE(WaitUntil([&] { return FolderNames(folder) == std::vector<std::string>{"KDEMO.EXE"}; }));
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "DisplayName"), "(none)");
  EXPECT_NE(PendingDeletions().find(program), std::string::npos);
  CloseHandle(held);
  Restart();
  EXPECT_FALSE(PathExists(folder)) << "the file and then its folder go when Windows restarts";
  EXPECT_EQ(Changes(before.files, TakePrefixSnapshot(temp_).files), std::vector<std::string>());
}

// Libraries named like the system libraries Setup.exe asks for, planted
// where anyone may put files: beside the installer (a downloads folder),
// in the current folder, in the temporary folder, in the product's folder
// and in the folder of the uninstaller's copy. Wine is told to prefer them to
// its own, as Windows' search order would; one that loads notes by which
// program, and refuses to stay.
class PlantedLibraries {
 public:
  PlantedLibraries() {
    std::string names = TOLVEN_PLANTED_NAMES;
    for (size_t at = 0; at <= names.size();) {
      size_t end = std::min(names.find(',', at), names.size());
      names_.push_back(names.substr(at, end - at));
      at = end + 1;
    }
    char overrides[1024] = "";
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    overrides_ = std::string(overrides) + ";" + names + "=n,b";
  }
  void Plant(const std::string& folder) {
    for (const std::string& name : names_) {
      CopyFileA((std::string(TOLVEN_MARKER_DIR) + "\\" + name + ".dll").c_str(),
                (folder + "\\" + name + ".dll").c_str(), FALSE);
    }
    folders_.push_back(folder);
  }
  // What Wine's loader needs to prefer them, for the programs started
  // meanwhile.
  const std::string& overrides() const { return overrides_; }
  // "library: program" for every library that was loaded.
  std::vector<std::string> Loaded() const {
    std::vector<std::string> loaded;
    for (const std::string& folder : folders_) {
      for (const std::string& name : FolderNames(folder)) {
        if (name.size() < 7 || name.compare(name.size() - 7, 7, ".loaded") != 0) continue;
        std::string programs = ReadWholeFile(folder + "\\" + name);
        loaded.push_back(folder + "\\" + name.substr(0, name.size() - 7) + ": " +
                         programs.substr(0, programs.find('\r')));
      }
    }
    return loaded;
  }

 private:
  std::vector<std::string> names_;
  std::vector<std::string> folders_;
  std::string overrides_;
};

// A system without the two functions that restrict the library search, as
// 9x is: their names in the program file are made unfindable.
void HideLibrarySearchControl(const std::string& program) {
  std::string bytes = ReadWholeFile(program);
  for (const char* name : {"SetDefaultDllDirectories", "SetDllDirectoryA"}) {
    size_t at = bytes.find(std::string(name) + '\0');
    ASSERT_NE(at, std::string::npos) << program << ": " << name;
    bytes[at] = 'X';
  }
  WriteWholeFile(program, bytes);
}

// Runs `command` as the system runs a registered command, as the debugger
// of its program and of every program that one starts, each of which is
// held before its first instruction while `on_start` runs. True once
// `programs` programs have started and ended; false after kHangBoundMs
// without an event (they then end with the calling thread). The first
// program's exit code lands in `*exit_code`.
bool RunHoldingEachStart(std::string command, int programs, const std::function<void()>& on_start, DWORD* exit_code) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION first = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, DEBUG_PROCESS, nullptr, nullptr, &startup,
                      &first)) {
    return false;
  }
  CloseHandle(first.hThread);
  CloseHandle(first.hProcess);
  int started = 0;
  int ended = 0;
  DEBUG_EVENT event;
  while (ended < programs && WaitForDebugEvent(&event, kHangBoundMs)) {
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (started++ > 0) on_start();
        if (event.u.CreateProcessInfo.hFile != nullptr) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT:
        // The loader's breakpoint at each start is the debugger's; any
        // other exception is the program's own to handle.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
          status = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        ++ended;
        if (event.dwProcessId == first.dwProcessId) *exit_code = event.u.ExitProcess.dwExitCode;
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  return ended == programs;
}

// Setup.exe runs elevated from a downloads folder, the uninstaller from the
// product's folder and its copy from a folder of its own in the temporary
// folder: none loads a library from there or from the current folder, in
// the dialog (with its folder browser), in a silent installation or while
// uninstalling. The copy is held at its start until markers lie beside it
// too, as if someone had put them into its new folder in that moment. On a
// system that cannot restrict the search, what the programs load ahead
// keeps the markers out. A build without the protection loads them: the
// test would see a hole.
TEST_F(InstallationTest, PlantedLibrariesNeverLoadIntoSetupOrTheUninstaller) {
  enum Loader { kNoProgram, kInstaller, kUninstallersCopy };
  struct Case {
    const char* why;
    const char* stub;
    const char* uninstaller;      // the one beside mksetup when empty
    bool without_search_control;  // kernel32 seems to lack both search functions, as 9x does
    bool product_folder_planted;  // else the installed uninstaller is left alone
    Loader loads_markers;         // the program that loads them; kNoProgram: none may
  } const cases[] = {
      {"the shipped programs", TOLVEN_SETUP_EXE, "", false, true, kNoProgram},
      {"no search control: the libraries loaded ahead", TOLVEN_SETUP_EXE, "", true, true, kNoProgram},
      {"a test build of Setup.exe without the protection", TOLVEN_UNPROTECTED_SETUP_EXE, "", false, true, kInstaller},
      {"a test build of the uninstaller without it: its copy loads what was put beside it at its start",
       TOLVEN_SETUP_EXE, TOLVEN_UNPROTECTED_UNINSTALLER, false, false, kUninstallersCopy},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string downloads = root_ + "\\downloads";
    const std::string current = root_ + "\\current";
    const std::string folder = root_ + "\\Tolvenwark Demo";
    CreateDirectoryA(downloads.c_str(), nullptr);
    CreateDirectoryA(current.c_str(), nullptr);
    const std::string installer = BuildSampleInstaller(downloads, c.stub, c.uninstaller);
    if (c.without_search_control) HideLibrarySearchControl(installer);
    PlantedLibraries planted;
    for (const std::string& where : {downloads, current, temp_}) planted.Plant(where);
    bool installed = false;
    std::string copy_folder;
    {
      EnvironmentVariableForTest prefer_planted("WINEDLLOVERRIDES", planted.overrides());
      CurrentFolderForTest in_current(current);
      ProbeOptions options;
      options.interact = [&](const OpenDialog& open) {
        PostMessageA(open.dialog, WM_COMMAND, IDC_BROWSE, 0);
        HWND browser = WaitForWindow(open, "#32770", open.dialog);
        ASSERT_NE(browser, nullptr);
        PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
        SetFolder(open, folder);
        for (int option : {IDC_START_MENU, IDC_DESKTOP_ICON, IDC_QUICK_LAUNCH}) SetOption(open, option, true);
        installed = PressInstall(open).dialog_closed;
      };
      ProbeSetup(installer, options);
      SilentRun silent = RunWatched(installer, "/S /D=" + folder);
      if (installed) {
        EXPECT_EQ(silent.exit_code, 0u);
        if (c.product_folder_planted) planted.Plant(folder);
        if (c.without_search_control) HideLibrarySearchControl(folder + "\\UnInst.exe");
        const UninstallTexts& texts = TextsOfSystemLanguage();
        bool ended = false;
        DWORD exit_code = 1;
        std::thread uninstall([&] {
          ended = RunHoldingEachStart(
              RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "UninstallString"), 2,
              [&] {
                for (const std::string& name : FolderNames(temp_)) {
                  if (name.rfind("Uninstall-", 0) == 0) copy_folder = temp_ + "\\" + name.substr(0, name.size() - 1);
                }
                if (!copy_folder.empty()) planted.Plant(copy_folder);
              },
              &exit_code);
        });
        EXPECT_EQ(AnswerBox(texts.caption, IDYES), Composed(texts.question, kSampleGroup, folder));
        // A copy that loads a marker does not get far enough to report.
        if (c.loads_markers != kUninstallersCopy) {
          EXPECT_EQ(AnswerBox(texts.caption, IDOK),
                    Composed(texts.removed, kSampleGroup) + Composed(texts.folder_stays, "", folder));
        }
        uninstall.join();
        EXPECT_TRUE(ended);
        EXPECT_EQ(exit_code, 0u);
        EXPECT_TRUE(PathExists(copy_folder + "\\UnInst.exe")) << "the copy ran from " << copy_folder;
      }
    }
    std::vector<std::string> loaded = planted.Loaded();
    if (c.loads_markers != kNoProgram) {
      const std::string program = c.loads_markers == kInstaller ? installer : copy_folder + "\\UnInst.exe";
      EXPECT_FALSE(loaded.empty());
      for (const std::string& line : loaded) EXPECT_NE(line.find(": " + program), std::string::npos) << line;
    } else {
      EXPECT_TRUE(installed);
      EXPECT_EQ(loaded, std::vector<std::string>());
    }
    for (const std::string& where : {downloads, current, copy_folder, temp_, folder}) {
      if (!where.empty()) RemoveTree(where);
    }
    CreateDirectoryA(temp_.c_str(), nullptr);
    ForgetInstallation(kSampleGroup, kSampleId, kSampleUninstallKey);
  }
}

// The log's lines, without their line ends.
std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < log.size();) {
    size_t end = log.find("\r\n", at);
    if (end == std::string::npos) end = log.size();
    lines.push_back(log.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// Whether a line of the log holds `part` (which holds no line end).
bool HasLine(const std::string& log, const std::string& part) { return log.find(part) != std::string::npos; }

// An administrator's installation of the sample: no window at any time,
// the defaults the dialog proposes for a new folder (the edition of this
// system, every language, every shortcut), and a log of each step.
TEST_F(InstallationTest, SilentInstallationOfTheSampleShowsNothingAndLogsEveryStep) {
  const std::string installer = BuildSampleInstaller(root_);
  const std::string folder = root_ + "\\Tolvenwark Demo Silent";
  const std::string log = root_ + "\\setup log.txt";
  SilentRun run = RunWatched(installer, "/s \"/LOG=" + log + "\" /D=" + folder, log);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_EQ(run.shown, std::vector<std::string>()) << "no dialog, no box";

  ExpectSampleFiles(folder);
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kRemembered, kSampleId), folder);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "UninstallString"), "\"" + folder + "\\UnInst.exe\"");
  const std::string link = std::string("\\") + kSampleGroup + ".lnk";
  const std::string group = ProgramsFolder() + "\\" + kSampleGroup;
  const std::string program = folder + "\\KDEMO.EXE";
  for (const std::string& shortcut : {ShellFolder(CSIDL_DESKTOPDIRECTORY) + link, QuickLaunchFolder() + link}) {
    EXPECT_STRCASEEQ(ReadShortcut(shortcut).target.c_str(), program.c_str()) << shortcut;
  }
  EXPECT_EQ(FolderNames(group).size(), 5u) << "program, uninstaller, licence and both order forms";

  // The package checked, each file with its size, the registry values, each
  // shortcut, and the outcome.
  std::vector<std::string> lines = LogLines(run.log);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.front().find("TolvenwarkDemoSetup.exe: every entry checked"), std::string::npos) << lines.front();
  for (const ListedItem& item : ListFolder(folder)) {
    const std::string line = "file " + folder + "\\" + item.name + " (" + std::to_string(item.size) + " bytes)";
    EXPECT_TRUE(HasLine(run.log, line)) << line << "\n" << run.log;
  }
  for (const std::string& line :
       {"registry HKCU\\Software\\Tolvenwark\\TWD = " + folder,
        std::string("registry HKLM\\") + kSampleUninstallKey + "\\DisplayName = Tolvenwark Demo",
        std::string("registry HKLM\\") + kSampleUninstallKey + "\\UninstallString = \"" + folder + "\\UnInst.exe\"",
        std::string("registry HKLM\\") + kSampleUninstallKey + "\\NoRepair = 1",
        "\\Uninstall.lnk -> " + folder + "\\UnInst.exe", link + " -> " + program}) {
    EXPECT_TRUE(HasLine(run.log, line)) << line << "\n" << run.log;
  }
  EXPECT_EQ(lines.back(), "exit code 0: installed");

  // Again, while the product runs, and without /D=: the remembered folder,
  // the running program closed before its file is replaced.
  Process running(program, "");
  ASSERT_TRUE(running.started);
  ASSERT_TRUE(WaitUntil([] { return FindWindowA("TolvenwarkDemo", nullptr) != nullptr; }));
  SilentRun again = RunWatched(installer, "/S /LOG=" + root_ + "\\again.log", root_ + "\\again.log");
  ASSERT_TRUE(again.ended);
  EXPECT_EQ(again.exit_code, 0u) << again.log;
  EXPECT_TRUE(running.Ended()) << "Setup closes the running program";
  EXPECT_TRUE(HasLine(again.log, "file " + program + " (")) << again.log;
  EXPECT_FALSE(HasLine(again.log, "installing through")) << again.log;

  // Into another folder: nobody to ask, so the log says what happens to the
  // first copy.
  const std::string other = root_ + "\\Second Copy";
  SilentRun second = RunWatched(installer, "/S /LOG=" + root_ + "\\second.log /D=" + other, root_ + "\\second.log");
  ASSERT_TRUE(second.ended);
  EXPECT_EQ(second.exit_code, 0u) << second.log;
  EXPECT_EQ(second.shown, std::vector<std::string>());
  EXPECT_TRUE(HasLine(second.log,
                      "Tolvenwark Demo is already installed in " + folder + "; that copy stays there and is forgotten"))
      << second.log;
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kSampleUninstallKey, "UninstallString"), "\"" + other + "\\UnInst.exe\"");
}

// What an administrator learns from a silent installation that cannot be
// made: the exit code, and the reason in the log. No window shows in any
// case, and nothing is recorded.
TEST_F(InstallationTest, SilentFailuresEndWithTheirExitCodeAndReason) {
  const std::string good = Installer("e2e-silent-setup.exe", DemoPackage());
  std::string damaged_bytes = ReadWholeFile(good);
  damaged_bytes[damaged_bytes.find("classic readme")] = 'C';
  const std::string damaged = root_ + "\\e2e-damaged-setup.exe";
  WriteWholeFile(damaged, damaged_bytes);
  std::vector<PackageEntry> bad_name = DemoPackage();
  bad_name.push_back({"BAD|NAME.TXT", "no file system takes this name"});
  const std::string uncreatable = Installer("e2e-bad-name-setup.exe", bad_name);
  // The good package sealed as mksetup build seals it, then damaged in
  // what only the seal sees; and packages with names Windows would change.
  const std::string stub = ReadWholeFile(TOLVEN_SETUP_EXE);
  auto with_record = [&](const std::string& name, uint32_t kind, const std::string& after) {
    std::string bytes = ReadWholeFile(good);
    const std::string archive = bytes.substr(stub.size());
    uint32_t crc =
        ~Crc32Update(WriterCrc32Table(), 0xFFFFFFFF, reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
    bytes.replace(kSealRecordOffset, kSealRecordSize,
                  SealRecordBytes(kind, {static_cast<uint32_t>(archive.size()), crc}));
    WriteWholeFile(root_ + "\\" + name, bytes + after);
    return root_ + "\\" + name;
  };
  const std::string appended =
      with_record("e2e-appended-setup.exe", kRecordSealed,
                  ArchiveOf({StoredEntry("EXTRA.TXT", "not sealed")}).substr(kMarkerSize + kMainHeaderSize));
  const std::string unfinished = with_record("e2e-unfinished-setup.exe", kRecordBuilding, "");
  auto with_name = [&](const std::string& file_name, std::vector<std::string> names) {
    std::vector<PackageEntry> entries = DemoPackage();
    for (const std::string& name : names) entries.push_back({name, "a file"});
    return Installer(file_name, entries);
  };
  const std::string log = root_ + "\\silent.log";
  const std::string arguments = "/S /LOG=" + log + " /D=" + folder_;
  const std::string too_long = root_ + "\\" + std::string(258 - root_.size() - 1, 'x');

  struct Case {
    const char* why;
    std::string installer;
    std::string arguments;
    bool hold_program;  // KDEMO.EXE in the folder, held open while Setup runs
    DWORD exit_code;
    std::vector<std::string> log_lines;  // parts of lines the log must hold
  } const cases[] = {
      {"an argument not understood",
       good,
       "/S /NOW /LOG=" + log + " /D=" + folder_,
       false,
       1,
       {"argument not understood: /NOW", "exit code 1: wrong arguments"}},
      {"a switch not understood, without /S",
       good,
       "/NOW /LOG=" + log,
       false,
       1,
       {"argument not understood: /NOW", "exit code 1: wrong arguments"}},
      {"/S written after /D=, which takes it into the folder",
       good,
       "/LOG=" + log + " /D=" + folder_ + " /S",
       false,
       1,
       {"no /S before this switch: /LOG=", "exit code 1: wrong arguments"}},
      {"a damaged package",
       damaged,
       arguments,
       false,
       2,
       {"e2e-damaged-setup.exe: cannot be read or is damaged (result 3)",
        "exit code 2: the package is damaged or cannot be read"}},
      {"data after the sealed archive",
       appended,
       arguments,
       false,
       2,
       {"e2e-appended-setup.exe: cannot be read or is damaged (result 5)"}},
      {"a build that did not finish",
       unfinished,
       arguments,
       false,
       2,
       {"e2e-unfinished-setup.exe: cannot be read or is damaged (result 6)"}},
      {"a device name",
       with_name("e2e-device-setup.exe", {"nul.txt"}),
       arguments,
       false,
       2,
       {"cannot be read or is damaged (result 3)"}},
      {"a stream",
       with_name("e2e-stream-setup.exe", {"x:stream"}),
       arguments,
       false,
       2,
       {"cannot be read or is damaged (result 3)"}},
      {"names Windows would merge",
       with_name("e2e-merged-setup.exe", {"trail", "trail."}),
       arguments,
       false,
       2,
       {"cannot be read or is damaged (result 3)"}},
      {"names differing only in case",
       with_name("e2e-case-setup.exe", {"Same.txt", "SAME.TXT"}),
       arguments,
       false,
       2,
       {"cannot be read or is damaged (result 3)"}},
      {"a name no folder can take, not even the temporary one",
       uncreatable,
       arguments,
       false,
       3,
       {"cannot create a file in " + folder_ + "; installing through " + temp_ + "\\1\\Tolvenwark E2E",
        "message [] " + SystemText(82).substr(0, SystemText(82).find_last_not_of("\r\n") + 1),
        "exit code 3: a file could not be created or replaced, nothing was changed"}},
      {"the program held open throughout: found before anything is changed",
       good,
       arguments,
       true,
       3,
       {"message [KDEMO.EXE] " + SystemText(ERROR_SHARING_VIOLATION).substr(0, 20),
        "exit code 3: a file could not be created or replaced, nothing was changed"}},
      {"a folder too long for the files in it",
       good,
       "/S /LOG=" + log + " /D=" + too_long,
       false,
       4,
       {"exit code 4: the destination folder cannot be used"}},
      {"a folder relative to the current one",
       good,
       "/S /LOG=" + log + " /D=reltest\\sub",
       false,
       4,
       {"message [] " + SystemText(123).substr(0, SystemText(123).find_last_not_of("\r\n") + 1),
        "exit code 4: the destination folder cannot be used"}},
      {"a folder on a missing drive, said before anything is unpacked",
       good,
       "/S /LOG=" + log + " /D=Q:\\Demo",
       false,
       4,
       {"message [] " + SystemText(82).substr(0, SystemText(82).find_last_not_of("\r\n") + 1),
        "exit code 4: the destination folder cannot be used"}},
      {"a drive's root",
       good,
       "/S /LOG=" + log + " /D=C:\\",
       false,
       4,
       {"message [] " + SystemText(ERROR_DIRECTORY).substr(0, 10),
        "exit code 4: the destination folder cannot be used"}},
      {"250 characters: no room for the names the run places",
       good,
       "/S /LOG=" + log + " /D=" + root_ + "\\" + std::string(250 - root_.size() - 1, 'x'),
       false,
       4,
       {"message [] " + SystemText(ERROR_FILENAME_EXCED_RANGE).substr(0, 10),
        "exit code 4: the destination folder cannot be used"}},
  };
  const std::vector<std::string> root_drive_before = FolderNames("C:");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.hold_program) {
      CreateDirectoryA(folder_.c_str(), nullptr);
      WriteWholeFile(folder_ + "\\KDEMO.EXE", "the running program");
      held = CreateFileA((folder_ + "\\KDEMO.EXE").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
    }
    SilentRun run = RunWatched(c.installer, c.arguments, log);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.log;
    EXPECT_EQ(run.shown, std::vector<std::string>());
    for (const std::string& part : c.log_lines) EXPECT_TRUE(HasLine(run.log, part)) << part << "\n" << run.log;
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kRemembered, kPackageId), "(none)");
    if (c.exit_code != 3) {
      EXPECT_FALSE(PathExists(folder_)) << "nothing installed";
    }
    EXPECT_EQ(FolderNames(temp_), std::vector<std::string>()) << "nothing left in the temporary folder";
    if (c.hold_program) {
      EXPECT_EQ(FolderNames(folder_), std::vector<std::string>({"KDEMO.EXE"})) << "nothing changed";
      EXPECT_EQ(ReadWholeFile(folder_ + "\\KDEMO.EXE"), "the running program");
    }
    EXPECT_EQ(FolderNames("C:"), root_drive_before) << "nothing on the drive's root";
    EXPECT_FALSE(PathExists(root_ + "\\" + std::string(250 - root_.size() - 1, 'x')));
    for (const std::string& name : FolderNames(folder_)) DeleteFileA((folder_ + "\\" + name).c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  // Without a switch the arguments are ignored and the dialog comes as
  // always: the watcher sees it, and closing it ends Setup with 0.
  SilentRun dialog = RunWatched(good, "readme.txt " + folder_);
  ASSERT_TRUE(dialog.ended);
  EXPECT_EQ(dialog.exit_code, 0u);
  ASSERT_FALSE(dialog.shown.empty());
  EXPECT_EQ(dialog.shown[0].rfind("#32770: ", 0), 0u) << dialog.shown[0];
  EXPECT_FALSE(PathExists(folder_));
}

// Version 2 of the demo package: every file changed, and `extra` after them.
std::vector<PackageEntry> VersionTwo(const std::vector<PackageEntry>& extra = {}) {
  std::vector<PackageEntry> package = DemoPackage();
  for (PackageEntry& entry : package) {
    if (entry.name != "DEMO.INF" && entry.name != "FILE_ID.DIZ") entry.data += " (version 2)";
  }
  package.insert(package.end(), extra.begin(), extra.end());
  return package;
}

// Installs version 1 silently into `folder` (with an earlier user file
// that the package does not touch, and a read-only one it replaces); what
// the folder then holds.
std::string InstallVersionOne(const std::string& installer, const std::string& folder) {
  SilentRun run = RunWatched(installer, "/S /D=" + folder);
  EXPECT_TRUE(run.ended && run.exit_code == 0) << run.exit_code;
  WriteWholeFile(folder + "\\NOTES OF MY OWN.TXT", "the user's");
  SetFileAttributesA((folder + "\\LICENSE.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
  return FolderState(folder);
}

// Upgrades that cannot complete leave version 1 exactly as it was: here the
// last entry does not fit the disk (a small tmpfs that the test run mounts
// as drive S:), found only once most files are replaced.
TEST_F(InstallationTest, UpgradeThatFailsLateLeavesVersionOneExactly) {
  if (!PathExists("S:\\")) GTEST_SKIP() << "no small disk S: (scripts/small-disk needs root to mount one)";
  const std::string folder = "S:\\Tolvenwark E2E";
  const std::string before = InstallVersionOne(Installer("e2e-v1-setup.exe", DemoPackage()), folder);
  const std::string upgrade = Installer("e2e-v2-setup.exe", VersionTwo({{"ZLATE.DAT", std::string(400000, 'z')}}));
  const std::string log = root_ + "\\late.log";

  SilentRun run = RunWatched(upgrade, "/S /LOG=" + log + " /D=" + folder, log);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exit_code, 3u) << run.log;
  EXPECT_TRUE(HasLine(run.log, "file " + folder + "\\ZLATE.DAT")) << run.log;
  EXPECT_TRUE(HasLine(run.log, "message [] " + SystemText(ERROR_DISK_FULL).substr(0, 9))) << run.log;
  EXPECT_EQ(FolderState(folder), before) << "silent run";

  InstallOutcome outcome;
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    SetFolder(open, folder);
    outcome = PressInstall(open);
  };
  ASSERT_TRUE(ProbeSetup(upgrade, options).dialog_found);
  SCOPED_TRACE(Describe(outcome));
  ASSERT_EQ(outcome.messages.size(), 2u);
  EXPECT_EQ(outcome.messages[1].text.substr(0, 9), SystemText(ERROR_DISK_FULL).substr(0, 9));
  EXPECT_FALSE(outcome.dialog_closed);
  EXPECT_EQ(FolderState(folder), before) << "dialog run";
  EXPECT_EQ(FolderNames(temp_), std::vector<std::string>());
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kRemembered, kPackageId), folder) << "still version 1's";
  for (const std::string& name : FolderNames(folder)) {
    SetFileAttributesA((folder + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((folder + "\\" + name).c_str());
  }
  RemoveDirectoryA(folder.c_str());
}

// A file of version 1 held open without sharing: nothing is changed and the
// message names it, with Retry and Cancel; Retry looks again, and once the
// holder lets go it installs.
TEST_F(InstallationTest, FileHeldOpenIsNamedAndRetryInstallsOnceItIsFree) {
  const std::string before = InstallVersionOne(Installer("e2e-v1-setup.exe", DemoPackage()), folder_);
  const std::string held_path = folder_ + "\\KDEMO.EXE";
  HANDLE held = CreateFileA(held_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::vector<std::string> states;  // the folder whenever the message showed
  InstallOutcome outcome;
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    SetFolder(open, folder_);
    outcome = PressInstall(open, 120000, [&](const MessageSnapshot& box) {
      if (box.caption != "KDEMO.EXE") return IDOK;
      states.push_back(FolderState(folder_));
      if (states.size() == 2) CloseHandle(held);
      return IDRETRY;
    });
  };
  ASSERT_TRUE(ProbeSetup(Installer("e2e-v2-setup.exe", VersionTwo()), options).dialog_found);
  SCOPED_TRACE(Describe(outcome));
  ASSERT_EQ(states.size(), 2u) << "asked again while the file was held";
  for (const std::string& state : states) EXPECT_EQ(state, before);
  EXPECT_EQ(outcome.messages[1].text, SystemText(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(outcome.dialog_closed);
  EXPECT_EQ(ReadWholeFile(held_path), std::string(20000, 'k') + " (version 2)");
  EXPECT_EQ(ReadWholeFile(folder_ + "\\NOTES OF MY OWN.TXT"), "the user's");
  for (const std::string& name : FolderNames(folder_)) EXPECT_NE(name.rfind("tw-", 0), 0u) << "left: " << name;
}

// A product window that refuses WM_CLOSE: nothing is changed; the dialog
// says so with Retry and Cancel until the window is gone, a silent run
// waits 10 s and exits 5, for a hung window too.
TEST_F(InstallationTest, ProductThatStaysOpenStopsTheRunBeforeAnythingChanges) {
  const std::string before = InstallVersionOne(Installer("e2e-v1-setup.exe", DemoPackage()), folder_);
  const std::string upgrade = Installer("e2e-v2-setup.exe", VersionTwo());
  const std::string log = root_ + "\\running.log";
  for (bool hung : {false, true}) {
    SCOPED_TRACE(hung ? "hung" : "refuses");
    RunningInstance product("TolvenwarkE2E", hung);
    SilentRun run = RunWatched(upgrade, "/S /LOG=" + log + " /D=" + folder_, log);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exit_code, 5u) << run.log;
    EXPECT_TRUE(HasLine(run.log, std::string("] ") + kGroup + " is running. Please close it")) << run.log;
    EXPECT_TRUE(HasLine(run.log, "exit code 5: the product is running, nothing was changed")) << run.log;
    EXPECT_EQ(FolderState(folder_), before);
  }

  RunningInstance product("TolvenwarkE2E");
  std::vector<std::string> states;
  InstallOutcome outcome;
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    SetFolder(open, folder_);
    outcome = PressInstall(open, 120000, [&](const MessageSnapshot& box) {
      if (box.text.rfind(kGroup, 0) != 0 || box.text.find("Retry") == std::string::npos) return IDOK;
      states.push_back(FolderState(folder_));
      if (states.size() == 2) product.Close();
      return IDRETRY;
    });
  };
  ASSERT_TRUE(ProbeSetup(upgrade, options).dialog_found);
  SCOPED_TRACE(Describe(outcome));
  ASSERT_EQ(states.size(), 2u);
  for (const std::string& state : states) EXPECT_EQ(state, before);
  EXPECT_EQ(outcome.messages[1].text, std::string(kGroup) + " is running. Please close it, then press Retry.");
  EXPECT_TRUE(outcome.dialog_closed);
  EXPECT_EQ(ReadWholeFile(folder_ + "\\KDEMO.EXE"), std::string(20000, 'k') + " (version 2)");
}

// 3,000 files of version 1 (the sample of a real product's size), then
// version 2 started and cancelled while it replaces them, with the Cancel
// button and with Esc: the question comes, Yes puts version 1 back with no
// kept file or temporary folder left, and the dialog stays for another try.
TEST_F(InstallationTest, CancelDuringALargeUpgradePutsVersionOneBack) {
  std::vector<PackageEntry> many = DemoPackage();
  for (int i = 0; i < 3000; ++i) many.push_back({"DATA" + std::to_string(i) + ".BIN", std::string(1500, 'a' + i % 26)});
  const std::string before = InstallVersionOne(Installer("e2e-many-v1-setup.exe", many), folder_);
  for (PackageEntry& entry : many) entry.data += " (version 2)";
  const std::string upgrade = Installer("e2e-many-v2-setup.exe", many);
  struct Case {
    const char* why;
    UINT message;  // how the user cancels
    WPARAM wparam;
  };
  for (const Case& c : {Case{"the Cancel button", WM_COMMAND, IDCANCEL}, Case{"Esc", WM_KEYDOWN, VK_ESCAPE}}) {
    SCOPED_TRACE(c.why);
    InstallOutcome outcome;
    std::string status_when_cancelled;
    ProbeOptions options;
    options.interact = [&](const OpenDialog& open) {
      SetFolder(open, folder_);
      // Pressed once the pass is writing files, from a second thread: the
      // dialog must take it while it installs.
      std::thread canceller([&] {
        WaitUntil([&] { return ReadSnapshot(open).status.find("DATA") != std::string::npos; });
        status_when_cancelled = ReadSnapshot(open).status;
        HWND target = c.message == WM_KEYDOWN ? GetDlgItem(open.dialog, IDCANCEL) : open.dialog;
        PostMessageA(target, c.message, c.wparam, 0);
      });
      outcome = PressInstall(open, 120000, [](const MessageSnapshot& box) {
        return box.text == "Do you really want to cancel the installation?" ? IDYES : IDOK;
      });
      canceller.join();
    };
    ProbeResult result = ProbeSetup(upgrade, options);
    ASSERT_TRUE(result.dialog_found);
    SCOPED_TRACE(Describe(outcome));
    EXPECT_NE(status_when_cancelled, "");
    ASSERT_EQ(outcome.messages.size(), 2u) << "the notice, the question, and nothing after";
    EXPECT_EQ(outcome.messages[1].text, "Do you really want to cancel the installation?");
    EXPECT_FALSE(outcome.dialog_closed);
    EXPECT_EQ(FolderState(folder_), before);
    EXPECT_EQ(FolderNames(temp_), std::vector<std::string>());
  }
}

// One installation at a time: a second start of the installer while the
// first one's dialog is open brings that dialog to the front and ends
// without a window of its own; with /S it exits 5.
TEST_F(InstallationTest, ASecondStartOfTheSameInstallerDefersToTheFirst) {
  const std::string installer = Installer("e2e-once-setup.exe", DemoPackage());
  const std::string log = root_ + "\\second.log";
  // A second dialog would wait for its user: ending at all is the proof.
  bool second_ended = false;
  SilentRun silent;
  ProbeOptions options;
  options.interact = [&](const OpenDialog& open) {
    // Minimised, so that only the second start can have found it.
    ShowWindow(open.dialog, SW_MINIMIZE);
    Process second(installer, "");
    second_ended = second.started && second.Ended() && second.ExitCode() == 0;
    silent = RunWatched(installer, "/S /LOG=" + log + " /D=" + folder_, log);
    EXPECT_FALSE(IsIconic(open.dialog)) << "the first dialog is shown again";
    EXPECT_EQ(GetForegroundWindow(), open.dialog);
  };
  ASSERT_TRUE(ProbeSetup(installer, options).dialog_found);
  EXPECT_TRUE(second_ended);
  EXPECT_EQ(silent.exit_code, 5u) << silent.log;
  EXPECT_TRUE(HasLine(silent.log, "another run of this installer is under way")) << silent.log;
  EXPECT_FALSE(PathExists(folder_));
}

}  // namespace
