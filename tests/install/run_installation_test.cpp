// The OK button's whole procedure on the program's own dialog template,
// with packages made by the archive writer and every message box read and
// answered.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/archive_format.h"
#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/install_progress.h"
#include "install/run_installation.h"
#include "resources/resource_ids.h"
#include "shell/edition_choice.h"
#include "shell/entry_catalogue.h"
#include "shell/language_list.h"
#include "shell/setup_state.h"
#include "shell/windows_family.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/dialog/setup_probe.h"
#include "tests/e2e/installed_product.h"
#include "tests/install/test_paths.h"
#include "tests/setup/message_box_watcher.h"
#include "tools/archive_writer.h"

namespace {

constexpr uint32_t kFrench = 0x5246;  // "FR"
const char kProduct[] = "Tolven Test Product";
const char kPackageId[] = "TT9";
const char kNotice[] = "Please use bug free antivirus programs.\n\nThis program is 100% clean!";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolven Test Product";

struct Entry {
  std::string name;
  std::string data;
  uint32_t attributes = kAttributeArchive;
};

std::vector<Entry> SamplePackage() {
  return {
      {"FILE_ID.DIZ", "Tolven Test Product 1.0\r\n"},
      {"PROG.INF", "[Setup]\r\nID=TT9\r\n"},
      {"9x\\KPROG.EXE", "classic program"},
      {"xp\\KPROG.EXE", "xp program"},
      {"xp\\sub\\NOTE.TXT", "in a subfolder"},
      {"PROG_FR.LNG", "french"},
      {"PROG_DE.LNG", "german"},
      {"README.TXT", std::string(5000, 'r')},
      {"UnInst.exe", "uninstaller"},
      {"LOCKED.DLL", "new library"},
      {"PSAPI.DLL", "our psapi"},
      // Read-only, as files copied from a CD are; after LOCKED.DLL, so that
      // a first pass stopped there leaves it to the fallback's move.
      {"NOTES.TXT", "notes", kAttributeArchive | kAttributeReadOnly},
  };
}

// Deletes every file in `folder`, read-only ones too.
void EmptyFolder(const std::string& folder) {
  for (const std::string& name : FolderNames(folder)) {
    SetFileAttributesA((folder + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((folder + "\\" + name).c_str());
  }
}

// The status line hands each file's path to this hook before the file is
// created: it lets a test see which folder the pass writes into and act
// during and between the passes.
WNDPROC g_status_procedure = nullptr;
std::string g_hold_on_prefix;  // the first path under it holds g_hold_path open
std::string g_hold_path;
std::string g_release_on_prefix;  // the first path under it lets the held file go
HANDLE g_held_file = INVALID_HANDLE_VALUE;
std::vector<std::string> g_status_texts;

HANDLE OpenWithoutDeleteSharing(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

std::string g_cancel_on_prefix;  // the first path under it presses Cancel

LRESULT CALLBACK WatchedStatus(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SETTEXT) {
    std::string text = reinterpret_cast<const char*>(lparam);
    g_status_texts.push_back(text);
    if (!g_cancel_on_prefix.empty() && text.rfind(g_cancel_on_prefix, 0) == 0) {
      RequestCancel();
      g_cancel_on_prefix.clear();
    }
    if (g_held_file == INVALID_HANDLE_VALUE && !g_hold_on_prefix.empty() && text.rfind(g_hold_on_prefix, 0) == 0) {
      g_held_file = OpenWithoutDeleteSharing(g_hold_path);
      g_hold_on_prefix.clear();
    }
    if (g_held_file != INVALID_HANDLE_VALUE && !g_release_on_prefix.empty() &&
        text.rfind(g_release_on_prefix, 0) == 0) {
      CloseHandle(g_held_file);
      g_held_file = INVALID_HANDLE_VALUE;
    }
  }
  return CallWindowProcA(g_status_procedure, window, message, wparam, lparam);
}

class RunInstallationTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    root_ = WindowsScratchFolder();
    temp_ = root_ + "\\temp";
    CreateDirectoryA(temp_.c_str(), nullptr);
    temporary_folder_ = std::make_unique<TemporaryFolderForTest>(temp_);

    SetupState* state = g_setup_state;
    CopyBounded(state->group, kProduct, sizeof state->group);
    CopyBounded(state->package_id, kPackageId, sizeof state->package_id);
    CopyBounded(state->lng_base_name, "PROG", sizeof state->lng_base_name);
    SetDlgItemTextA(dialog_, IDC_TITLE, "Tolven Test Product 1.0");
    HWND editions = GetDlgItem(dialog_, IDC_EDITION);
    AddEditionItem(editions, "9x/Classic Edition (Windows 9x/ME)");
    AddEditionItem(editions, "xp/XP/Vista Edition");
    SendMessageA(editions, CB_SETCURSEL, 1, 0);
    AddBuiltInLanguages(list_);
    AddLanguageItem(list_, "French", kFrench);
    SetItemCheckImage(list_, FindLanguageItem(list_, kFrench), kStateUnchecked);
    destination_ = root_ + "\\Product";
    SetDlgItemTextA(dialog_, IDC_FOLDER, destination_.c_str());
    UsePackage(SamplePackage());
  }

  void ForgetInstallPath() { DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\Tolvenwark", kPackageId); }

  void TearDown() override {
    temporary_folder_.reset();
    ForgetInstallPath();
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    if (g_held_file != INVALID_HANDLE_VALUE) CloseHandle(g_held_file);
    g_held_file = INVALID_HANDLE_VALUE;
    g_release_on_prefix.clear();
    g_hold_on_prefix.clear();
    g_cancel_on_prefix.clear();
    DialogTest::TearDown();
  }

  void UsePackage(const std::vector<Entry>& entries, int damaged_entry = -1) {
    ArchiveWriter writer;
    writer.AddMainHeader();
    for (size_t i = 0; i < entries.size(); ++i) {
      FileEntryFields fields;
      fields.name = entries[i].name;
      fields.data = entries[i].data;
      fields.attributes = entries[i].attributes;
      if (static_cast<int>(i) == damaged_entry) fields.data_crc = Crc32Of(fields.data) ^ 1;
      writer.AddFile(fields);
    }
    package_ = root_ + "\\package.rar";
    WriteWholeFile(package_, writer.bytes());
    CopyBounded(g_setup_state->module_path, package_.c_str(), sizeof g_setup_state->module_path);
    // What the description pass would have noted.
    MemoryBufferReset(&g_setup_state->catalogue.names);
    for (const Entry& entry : entries) AddCatalogueEntry(&g_setup_state->catalogue, entry.name.c_str());
  }

  // Presses OK: the result, and the boxes shown, in order.
  int Install(std::vector<SeenMessageBox>* boxes) {
    MessageBoxWatcher watcher;
    int result = RunInstallation(dialog_);
    *boxes = watcher.Finish();
    return result;
  }

  // The files of the sample package that the XP edition with French
  // unchecked installs, with their content.
  void ExpectInstalled(const std::string& folder) {
    std::vector<std::string> listing = FolderNames(folder);
    listing.erase(std::remove(listing.begin(), listing.end(), "KVPSAPI.DLL"), listing.end());
    EXPECT_EQ(listing, std::vector<std::string>({"FILE_ID.DIZ", "KPROG.EXE", "LOCKED.DLL", "NOTES.TXT", "PROG_DE.LNG",
                                                 "PSAPI.DLL", "README.TXT", "UnInst.exe"}));
    EXPECT_EQ(ReadWholeFile(folder + "\\KPROG.EXE"), "xp program");
    EXPECT_EQ(ReadWholeFile(folder + "\\README.TXT"), std::string(5000, 'r'));
    EXPECT_EQ(ReadWholeFile(folder + "\\LOCKED.DLL"), "new library");
    EXPECT_EQ(ReadWholeFile(folder + "\\NOTES.TXT"), "notes");
  }

  // The uninstall entry's size of what the package put into `folder`: the
  // files in KiB, rounded up (KVPSAPI.DLL was there before).
  static std::string InstalledSize(const std::string& folder) {
    uint64_t bytes = 0;
    for (const ListedItem& item : ListFolder(folder)) {
      if (item.name != "KVPSAPI.DLL") bytes += item.size;
    }
    return "dword " + std::to_string((bytes + 1023) / 1024);
  }

  // Sends the status line's texts through WatchedStatus.
  void WatchStatus() {
    g_status_texts.clear();
    g_status_procedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(GetDlgItem(dialog_, IDC_STATUS), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchedStatus)));
  }

  void HoldOpen(const std::string& path) {
    g_held_file = OpenWithoutDeleteSharing(path);
    ASSERT_NE(g_held_file, INVALID_HANDLE_VALUE);
  }

  std::string root_, temp_, destination_, package_;
  std::unique_ptr<TemporaryFolderForTest> temporary_folder_;
};

TEST_F(RunInstallationTest, InstallsTheChosenEditionAndLanguagesFlatAndRecordsIt) {
  CreateDirectoryA(destination_.c_str(), nullptr);
  WriteWholeFile(destination_ + "\\PSAPI.DLL", "the system's psapi");
  WriteWholeFile(destination_ + "\\README.TXT", "an older readme");
  // The folder is installed into, and remembered, in its full form.
  SetDlgItemTextA(dialog_, IDC_FOLDER, (root_ + "/made/../Product").c_str());

  std::vector<SeenMessageBox> boxes;
  EXPECT_EQ(Install(&boxes), 0);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, kNotice);
  EXPECT_EQ(boxes[0].caption, "Tolven Test Product 1.0");
  EXPECT_EQ(boxes[1].text, std::string(kProduct) + " has been successfully installed.");
  EXPECT_EQ(boxes[1].caption, "Setup");

  ExpectInstalled(destination_);
  EXPECT_EQ(ReadWholeFile(destination_ + "\\KVPSAPI.DLL"), "the system's psapi");
  EXPECT_EQ(ReadWholeFile(destination_ + "\\PSAPI.DLL"), "our psapi");
  // The archive's time stamp, read as local time.
  for (const ListedItem& item : ListFolder(destination_)) {
    if (item.name == "README.TXT") {
      EXPECT_EQ(LocalTimeText(item.last_write), "2007-06-15 12:30:00");
    }
  }

  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\Tolvenwark", kPackageId), destination_);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + destination_ + "\\UnInst.exe\"");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon"), "\"" + destination_ + "\\KPROG.EXE\"");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), destination_);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"), InstalledSize(destination_));
  EXPECT_EQ(ControlText(IDC_STATUS), "");
}

TEST_F(RunInstallationTest, PackageWithoutTheNoticeShowsOnlyTheOutcome) {
  g_setup_state->notice_off = true;
  std::vector<SeenMessageBox> boxes;
  EXPECT_EQ(Install(&boxes), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, std::string(kProduct) + " has been successfully installed.");
  ExpectInstalled(destination_);
}

// The product registered with an uninstaller in another folder: the user
// is asked first, and nothing is written unless the answer is OK. The
// same folder, however written, or an uninstaller that is gone asks
// nothing.
TEST_F(RunInstallationTest, ASecondFolderIsInstalledOnlyWhenTheUserAccepts) {
  g_setup_state->notice_off = true;
  const std::string earlier = root_ + "\\Earlier";
  CreateDirectoryA(earlier.c_str(), nullptr);
  WriteWholeFile(earlier + "\\UnInst.exe", "the first copy's uninstaller");
  // Its uninstaller's path as long as a path can be: in quotes, 261 characters.
  const std::string longest = root_ + "\\" + std::string(kPathSize - 1 - root_.size() - 12, 'e');
  CreateDirectoryA(longest.c_str(), nullptr);
  WriteWholeFile(longest + "\\UnInst.exe", "the first copy's uninstaller");
  auto question = [&](const std::string& folder) {
    return std::string(kProduct) + " is already installed in " + folder + ".\n\nIf you install it into " +
           destination_ +
           ", the earlier copy stays where it is but is forgotten: it can then no longer be removed through the "
           "list of installed programs.\n\nInstall all the same?";
  };
  struct {
    const char* why;
    std::string registered;   // UninstallString
    std::string uninstaller;  // the file made for it there, "" none
    int answer;
    int result;
    std::string asked_about;  // the folder the question names; "" asks nothing
  } const cases[] = {
      {"kept", earlier + "\\UnInst.exe", "", IDCANCEL, kInstallNotConfirmed, earlier},
      {"quoted, and kept", "\"" + earlier + "\\UnInst.exe\"", "", IDCANCEL, kInstallNotConfirmed, earlier},
      {"quoted, the longest path", "\"" + longest + "\\UnInst.exe\"", "", IDCANCEL, kInstallNotConfirmed, longest},
      {"its uninstaller gone", root_ + "\\Gone\\UnInst.exe", "", IDCANCEL, 0, ""},
      {"the same folder in other letters", root_ + "\\PRODUCT\\UnInst.exe", destination_ + "\\UnInst.exe", IDCANCEL, 0,
       ""},
      {"forgotten", earlier + "\\UnInst.exe", "", IDOK, 0, earlier},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", REG_SZ, c.registered + '\0'));
    if (!c.uninstaller.empty()) {
      CreateDirectoryA(destination_.c_str(), nullptr);
      WriteWholeFile(c.uninstaller, "this copy's uninstaller");
    }
    MessageBoxWatcher watcher(c.answer);
    EXPECT_EQ(RunInstallation(dialog_), c.result) << c.why;
    std::vector<SeenMessageBox> boxes = watcher.Finish();
    ASSERT_FALSE(boxes.empty()) << c.why;
    if (c.asked_about.empty()) {
      EXPECT_EQ(boxes[0].text.find("is already installed"), std::string::npos) << c.why << ": " << boxes[0].text;
    } else {
      EXPECT_EQ(boxes[0].text, question(c.asked_about)) << c.why;
    }
    if (c.result != 0) {
      EXPECT_EQ(boxes.size(), 1u) << c.why;
      EXPECT_FALSE(PathExists(destination_)) << c.why << ": nothing written";
    } else {
      ExpectInstalled(destination_);
      EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
                "\"" + destination_ + "\\UnInst.exe\"");
    }
    EXPECT_EQ(ReadWholeFile(earlier + "\\UnInst.exe"), "the first copy's uninstaller") << c.why;
    EmptyFolder(destination_);
    RemoveDirectoryA(destination_.c_str());
  }
}

TEST_F(RunInstallationTest, FolderThatCannotBeUsedShowsTheNoticeAndNothingIsWritten) {
  struct Case {
    std::string folder;
    std::string message;  // after the notice; "" none
    const char* why;
  };
  const Case cases[] = {
      {"", "", "an empty folder"},
      {root_ + "\\" + std::string(250, 'x'), SystemText(ERROR_FILENAME_EXCED_RANGE),
       "longer than the edit may hold: cut, it would name another folder"},
      {"reltest\\sub", SystemText(ERROR_INVALID_NAME), "relative: it would be the current folder's"},
      {"\\reltest", SystemText(ERROR_INVALID_NAME), "without a drive: it would be the current drive's"},
      {"Z:reltest", SystemText(ERROR_INVALID_NAME), "relative to the drive's current folder"},
      {"Q:\\Tolvenwark\\Product", SystemText(ERROR_CANNOT_MAKE),
       "on a missing drive: said before anything is unpacked"},
      {"C:\\", SystemText(ERROR_DIRECTORY), "a drive's root, which the uninstaller would empty"},
      {"\\\\server\\share\\", SystemText(ERROR_DIRECTORY), "a share's root"},
      {root_ + "\\" + std::string(245 - root_.size(), 'x'), SystemText(ERROR_FILENAME_EXCED_RANGE),
       "no room for the longest name the run places (its own kept files' names)"},
  };
  // Where a relative folder would land.
  SetCurrentDirectoryA(root_.c_str());
  for (const Case& c : cases) {
    SetDlgItemTextA(dialog_, IDC_FOLDER, c.folder.c_str());
    std::vector<SeenMessageBox> boxes;
    EXPECT_EQ(Install(&boxes), kInstallNoDestination) << c.why;
    ASSERT_EQ(boxes.size(), c.message.empty() ? 1u : 2u) << c.why;
    EXPECT_EQ(boxes[0].text, kNotice) << c.why;
    if (!c.message.empty()) {
      EXPECT_EQ(boxes[1].text, c.message) << c.why;
    }
  }
  EXPECT_EQ(FolderNames(root_), std::vector<std::string>({"package.rar", "temp\\"}));
  EXPECT_EQ(FolderNames(temp_), std::vector<std::string>());
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\Tolvenwark", kPackageId), "(none)");
}

TEST_F(RunInstallationTest, DamagedPackageIsReportedUnderTheSetupFilesName) {
  std::vector<Entry> entries = SamplePackage();
  UsePackage(entries, 7);  // README.TXT
  std::vector<SeenMessageBox> boxes;
  EXPECT_EQ(Install(&boxes), 3);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Broken file, please download again.");
  EXPECT_EQ(boxes[1].caption, "package.rar");
  EXPECT_FALSE(PathExists(destination_ + "\\README.TXT"));
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\Tolvenwark", kPackageId), "(none)");
}

TEST_F(RunInstallationTest, EntryThatCannotBeCreatedAnywhereFailsBothPasses) {
  std::vector<Entry> entries = SamplePackage();
  entries.insert(entries.begin() + 3, {"A|B.TXT", "no such name"});
  UsePackage(entries);
  // Each press fails alike, and none leaves a numbered folder behind.
  for (int press = 1; press <= 2; ++press) {
    std::vector<SeenMessageBox> boxes;
    EXPECT_EQ(Install(&boxes), -5) << press;
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, SystemText(82));
    EXPECT_EQ(boxes[1].caption, "");
    EXPECT_EQ(FolderNames(temp_), std::vector<std::string>()) << press;
  }
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\Tolvenwark", kPackageId), "(none)");
}

// A file that cannot be replaced is found before anything changes and
// named, with Retry and Cancel; after Cancel the folder is as it was, and
// once the file is free the next press installs it all, directly.
TEST_F(RunInstallationTest, FileThatCannotBeReplacedIsNamedBeforeAnythingChanges) {
  const std::string blocked = destination_ + "\\LOCKED.DLL";
  struct Case {
    const char* why;
    bool folder;  // a folder of the entry's name, else a file held open
  };
  for (const Case& c : {Case{"held open by a running program", false}, Case{"a folder of that name", true}}) {
    SCOPED_TRACE(c.why);
    CreateDirectoryA(destination_.c_str(), nullptr);
    WriteWholeFile(destination_ + "\\README.TXT", "an older readme");
    if (c.folder) {
      CreateDirectoryA(blocked.c_str(), nullptr);
    } else {
      WriteWholeFile(blocked, "running library");
      HoldOpen(blocked);
    }
    const std::string before = FolderState(destination_);

    std::vector<SeenMessageBox> boxes;
    {
      MessageBoxWatcher watcher(IDCANCEL);
      EXPECT_EQ(RunInstallation(dialog_), kInstallFileInUse);
      boxes = watcher.Finish();
    }
    ASSERT_EQ(boxes.size(), 2u);
    // The system's reason (Wine: sharing violation, access denied) under
    // the file's name.
    EXPECT_EQ(boxes[1].caption, "LOCKED.DLL");
    EXPECT_NE(boxes[1].text, "");
    EXPECT_EQ(FolderState(destination_), before) << "nothing changed";
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\Tolvenwark", kPackageId), "(none)");
    EXPECT_EQ(FolderNames(temp_), std::vector<std::string>());

    if (c.folder) {
      RemoveDirectoryA(blocked.c_str());
    } else {
      CloseHandle(g_held_file);
      g_held_file = INVALID_HANDLE_VALUE;
    }
    EXPECT_EQ(Install(&boxes), 0);
    ExpectInstalled(destination_);
    EmptyFolder(destination_);
    ForgetInstallPath();
  }
}

// Cancel during the pass asks first: Yes stops it and puts the earlier
// version back exactly, with the files the run had replaced already; No
// lets it finish.
TEST_F(RunInstallationTest, CancelAsksAndYesPutsTheEarlierVersionBack) {
  std::vector<Entry> package = SamplePackage();
  // Enough files that the question comes while the pass runs.
  for (int i = 0; i < 300; ++i) package.push_back({"MORE" + std::to_string(i) + ".TXT", std::string(1000, 'm')});
  UsePackage(package);
  CreateDirectoryA(destination_.c_str(), nullptr);
  WriteWholeFile(destination_ + "\\README.TXT", "an older readme");
  WriteWholeFile(destination_ + "\\MORE299.TXT", "an older file, the last to be replaced");
  SetFileAttributesA((destination_ + "\\README.TXT").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  const std::string before = FolderState(destination_);
  WatchStatus();
  struct Case {
    int answer;
    int result;
  };
  for (const Case& c : {Case{IDYES, kInstallCancelled}, Case{IDNO, 0}}) {
    SCOPED_TRACE(c.answer == IDYES ? "yes" : "no");
    g_cancel_on_prefix = destination_;
    std::vector<SeenMessageBox> boxes;
    {
      MessageBoxWatcher watcher(c.answer);
      EXPECT_EQ(RunInstallation(dialog_), c.result);
      boxes = watcher.Finish();
    }
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Do you really want to cancel the installation?");
    if (c.result == kInstallCancelled) {
      EXPECT_EQ(boxes.size(), 2u) << "nothing more to say";
      EXPECT_EQ(FolderState(destination_), before);
      EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\Tolvenwark", kPackageId), "(none)");
    } else {
      EXPECT_EQ(ReadWholeFile(destination_ + "\\MORE299.TXT"), std::string(1000, 'm'));
    }
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog_, IDC_INSTALL))) << "the dialog is usable again";
    EXPECT_EQ(FolderNames(temp_), std::vector<std::string>());
  }
}

// Run again by FallbackOnThe9xFamily on Wine's Windows 98.
TEST_F(RunInstallationTest, FallbackMovesTheFilesIntoTheChosenFolder) {
  if (GetEnvironmentVariableA("TOLVEN_EXPECT_9X", nullptr, 0) != 0) {
    ASSERT_EQ(DetectWindowsFamily(), 0) << "Wine's win98 setting for this program";
  }
  // A program takes the file once the checks are done and the first pass
  // has begun, and lets it go while the retry writes into the temporary
  // folder, so the move into place can replace it.
  WatchStatus();
  for (const char* separator : {"", "\\"}) {
    SCOPED_TRACE(separator[0] == '\0' ? "folder" : "folder with a trailing separator");
    CreateDirectoryA(destination_.c_str(), nullptr);
    WriteWholeFile(destination_ + "\\LOCKED.DLL", "running library");
    g_hold_path = destination_ + "\\LOCKED.DLL";
    g_hold_on_prefix = destination_;
    g_release_on_prefix = temp_;
    // Left to the move, which must replace it.
    WriteWholeFile(destination_ + "\\NOTES.TXT", "older notes");
    SetFileAttributesA((destination_ + "\\NOTES.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
    SetDlgItemTextA(dialog_, IDC_FOLDER, (destination_ + separator).c_str());

    std::vector<SeenMessageBox> boxes;
    EXPECT_EQ(Install(&boxes), 0);
    EXPECT_EQ(boxes.size(), 2u);
    ExpectInstalled(destination_);
    EXPECT_EQ(FolderNames(temp_), std::vector<std::string>()) << "the numbered folder is removed";
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\Tolvenwark", kPackageId), destination_ + separator);
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
              "\"" + destination_ + "\\UnInst.exe\"");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), destination_ + separator)
        << "the user's folder, not the temporary one";
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"), InstalledSize(destination_))
        << "the files of the retry alone";
    EmptyFolder(destination_);
    RemoveDirectoryA(destination_.c_str());
  }
}

// The fallback's move on the 9x family: this test program copied under a
// name that Wine's per-program setting makes Windows 98, running the test
// above.
TEST_F(RunInstallationTest, FallbackOnThe9xFamily) {
  EXPECT_TRUE(PassesAsWindows98(root_, "win98_installation_tests.exe",
                                "RunInstallationTest.FallbackMovesTheFilesIntoTheChosenFolder"))
      << "the fallback failed on the 9x family";
}

// An earlier installation of the same package left read-only files: the
// next one replaces them in the chosen folder itself, not by way of the
// temporary folder (whose move Windows refuses onto a read-only file too).
// Only a user without root's rights meets the refusals; the suite runs this
// test again as one (installation_tests_unprivileged).
TEST_F(RunInstallationTest, ReadOnlyFilesOfAnEarlierInstallationAreReplacedInPlace) {
  std::vector<SeenMessageBox> boxes;
  ASSERT_EQ(Install(&boxes), 0);
  EXPECT_NE(GetFileAttributesA((destination_ + "\\NOTES.TXT").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

  std::vector<Entry> entries = SamplePackage();
  entries.back().data = "newer notes";
  UsePackage(entries);
  WatchStatus();
  EXPECT_EQ(Install(&boxes), 0);
  EXPECT_EQ(ReadWholeFile(destination_ + "\\NOTES.TXT"), "newer notes");
  for (const std::string& shown : g_status_texts) {
    EXPECT_NE(shown.rfind(temp_, 0), 0u) << "written by way of the temporary folder: " << shown;
  }
  EmptyFolder(destination_);
}

}  // namespace
