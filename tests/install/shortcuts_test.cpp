#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/folders.h"
#include "install/shortcuts.h"
#include "setup/setup_state.h"
#include "tests/install/test_paths.h"
#include "tests/support/scratch.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// What a shortcut file says: target and folder read back through the
// shell's own link object, the show command from the file's header (the
// object reads every value but 1, 3 and 7 as 1).
struct LinkContent {
  bool loaded = false;
  std::string target;
  std::string working_directory;
  int show_command = 0;
};

LinkContent ReadLink(const std::string& path) {
  LinkContent content;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)))) {
    return content;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(file->Load(wide, STGM_READ))) {
      content.loaded = true;
      char text[MAX_PATH] = {};
      link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
      content.target = text;
      text[0] = '\0';
      link->GetWorkingDirectory(text, sizeof text);
      content.working_directory = text;
      const std::string bytes = ReadWholeFile(path);
      if (bytes.size() >= 0x40) memcpy(&content.show_command, bytes.data() + 0x3C, 4);
    }
    file->Release();
  }
  link->Release();
  return content;
}

// Files the test creates in the prefix's shell folders are removed again.
class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    g_setup_state = &state_;
    // Real files to point at; the shell link object stores backslashes.
    install_ = WindowsScratchFolder();
    for (const char* file : {"Prog.exe", "UnInst.exe", "LICENSE.TXT", "ORDER.HTM", "BESTELL.HTM"}) {
      WriteWholeFile(install_ + "\\" + file, "x");
    }
  }
  void TearDown() override {
    for (const std::string& path : cleanup_) {
      if (Exists(path)) ShellDelete(path.c_str());
    }
    g_setup_state = nullptr;
    CoUninitialize();
  }
  std::string Folder(int csidl) {
    char folder[MAX_PATH];
    GetSpecialFolder(csidl, folder);
    return folder;
  }
  void ExpectLink(const std::string& path, const std::string& target, const std::string& working_directory) {
    LinkContent link = ReadLink(path);
    ASSERT_TRUE(link.loaded) << path;
    EXPECT_EQ(link.target, target) << path;
    EXPECT_EQ(link.working_directory, working_directory) << path;
    EXPECT_EQ(link.show_command, SW_SHOW) << path;
  }

  SetupState state_ = {};
  std::string install_;
  std::vector<std::string> cleanup_;
};

TEST_F(ShortcutTest, CreateShortcutWritesTargetFolderAndShowCommand) {
  const std::string link = install_ + "\\Direct.lnk";
  EXPECT_EQ(CreateShortcut(link.c_str(), (install_ + "\\Prog.exe").c_str(), install_.c_str()), S_OK);
  ExpectLink(link, install_ + "\\Prog.exe", install_);
}

TEST_F(ShortcutTest, CreateShortcutReportsFailures) {
  const std::string link = install_ + "\\missing folder\\Direct.lnk";
  EXPECT_TRUE(FAILED(CreateShortcut(link.c_str(), (install_ + "\\Prog.exe").c_str(), install_.c_str())));
  EXPECT_FALSE(Exists(link));
  EXPECT_EQ(CreateShortcut(nullptr, "x", "y"), E_POINTER);
  EXPECT_EQ(CreateShortcut("x", nullptr, "y"), E_POINTER);
}

TEST_F(ShortcutTest, DesktopIconStartsInTheTargetsFolder) {
  const std::string desktop = Folder(CSIDL_DESKTOP);
  ASSERT_FALSE(desktop.empty());
  const std::string link = desktop + "\\Tolvenwark Desktop Test.lnk";
  cleanup_.push_back(link);
  CreateDesktopShortcut((install_ + "\\Prog.exe").c_str(), "Tolvenwark Desktop Test");
  ExpectLink(link, install_ + "\\Prog.exe", install_);
}

TEST_F(ShortcutTest, QuickLaunchIconOnlyWhereTheFolderExists) {
  const std::string app_data = Folder(CSIDL_APPDATA);
  ASSERT_FALSE(app_data.empty());
  const std::string quick_launch = app_data + "\\Microsoft\\Internet Explorer\\Quick Launch";
  char folder[MAX_PATH];
  GetQuickLaunchFolder(folder, sizeof folder);
  EXPECT_EQ(folder, quick_launch);
  GetQuickLaunchFolder(folder, quick_launch.size());
  EXPECT_STREQ(folder, "") << "a cut tail would name another folder";

  // Another test may have made the folder; it is put back afterwards.
  const std::string parent = app_data + "\\Microsoft\\Internet Explorer";
  if (!Exists(parent)) cleanup_.push_back(parent);
  const std::string link = quick_launch + "\\Tolvenwark Quick Test.lnk";
  FolderHiddenForTest hidden(quick_launch);
  ASSERT_FALSE(Exists(quick_launch));
  EXPECT_EQ(HasQuickLaunchFolder(), 0);
  CreateQuickLaunchShortcut((install_ + "\\Prog.exe").c_str(), "Tolvenwark Quick Test");
  EXPECT_FALSE(Exists(link)) << "a missing folder is not created";

  SHCreateDirectoryExA(nullptr, quick_launch.c_str(), nullptr);
  EXPECT_EQ(HasQuickLaunchFolder(), 1);
  CreateQuickLaunchShortcut((install_ + "\\Prog.exe").c_str(), "Tolvenwark Quick Test");
  ExpectLink(link, install_ + "\\Prog.exe", install_);
  DeleteFileA(link.c_str());
}

TEST_F(ShortcutTest, GroupEntryNeedsNameAndFile) {
  const std::string group = install_ + "\\group";
  CreateDirectoryA(group.c_str(), nullptr);
  CreateGroupEntry("Run", install_.c_str(), "Prog.exe", group.c_str());
  ExpectLink(group + "\\Run.lnk", install_ + "\\Prog.exe", install_);
  CreateGroupEntry("", install_.c_str(), "Prog.exe", group.c_str());
  CreateGroupEntry(nullptr, install_.c_str(), "Prog.exe", group.c_str());
  CreateGroupEntry("NoFile", install_.c_str(), "", group.c_str());
  CreateGroupEntry("NoFile", install_.c_str(), nullptr, group.c_str());
  EXPECT_FALSE(Exists(group + "\\.lnk"));
  EXPECT_FALSE(Exists(group + "\\NoFile.lnk"));
}

class StartMenuGroupTest : public ShortcutTest {
 protected:
  void SetUp() override {
    ShortcutTest::SetUp();
    strcpy(state_.group, "Tolvenwark Group Test");
    programs_ = Folder(CSIDL_COMMON_PROGRAMS);
    ASSERT_FALSE(programs_.empty());
    group_folder_ = programs_ + "\\Tolvenwark Group Test";
    cleanup_.push_back(group_folder_);
    ASSERT_FALSE(Exists(group_folder_));
    strcpy(context_.destination, install_.c_str());
    strcpy(context_.main_exe, "Prog.exe");
    strcpy(context_.uninstaller, "UnInst.exe");
    strcpy(context_.license_file, "LICENSE.TXT");
    strcpy(context_.order_file, "ORDER.HTM");
    strcpy(context_.order_file_de, "BESTELL.HTM");
  }
  // Names of the shortcut files in the group folder.
  std::vector<std::string> Entries() {
    std::vector<std::string> names;
    for (const char* name :
         {"Tolvenwark Group Test", "Uninstall", "License", "Order", "Bestellung"}) {
      if (Exists(group_folder_ + "\\" + name + ".lnk")) names.push_back(name);
    }
    return names;
  }

  InstallContext context_ = {};
  std::string programs_;
  std::string group_folder_;
};

using Names = std::vector<std::string>;

TEST_F(StartMenuGroupTest, GoesToTheAllUsersProgramsFolderWithEveryPlacedEntry) {
  CreateStartMenuGroup(nullptr, &context_);
  EXPECT_EQ(Entries(), (Names{"Tolvenwark Group Test", "Uninstall", "License", "Order"}))
      << "no Bestellung without German";
  ExpectLink(group_folder_ + "\\Tolvenwark Group Test.lnk", install_ + "\\Prog.exe", install_);
  ExpectLink(group_folder_ + "\\Uninstall.lnk", install_ + "\\UnInst.exe", install_);
  ExpectLink(group_folder_ + "\\License.lnk", install_ + "\\LICENSE.TXT", install_);
  ExpectLink(group_folder_ + "\\Order.lnk", install_ + "\\ORDER.HTM", install_);
  EXPECT_FALSE(Exists(Folder(CSIDL_PROGRAMS) + "\\Tolvenwark Group Test")) << "not in the user's own menu";
}

TEST_F(StartMenuGroupTest, BestellungOnlyWithGermanInstalled) {
  context_.german_count = 2;
  context_.license_file[0] = '\0';  // an entry that was not placed
  CreateStartMenuGroup(nullptr, &context_);
  EXPECT_EQ(Entries(), (Names{"Tolvenwark Group Test", "Uninstall", "Order", "Bestellung"}));
  ExpectLink(group_folder_ + "\\Bestellung.lnk", install_ + "\\BESTELL.HTM", install_);
}

TEST_F(StartMenuGroupTest, ExistingGroupFolderGetsNoEntries) {
  CreateDirectoryA(group_folder_.c_str(), nullptr);
  CreateStartMenuGroup(nullptr, &context_);
  EXPECT_EQ(Entries(), Names{});
}

// Without a name a shortcut would be ".lnk" joined to its folder: a file
// beside the desktop or Quick Launch folder, named after it.
TEST_F(StartMenuGroupTest, EmptyProductNameMakesNoGroupAndNoIcons) {
  state_.group[0] = '\0';
  CreateStartMenuGroup(nullptr, &context_);
  for (const char* name : {"Uninstall", "License", "Order", ".lnk"}) {
    EXPECT_FALSE(Exists(programs_ + "\\" + name + ".lnk")) << name;
  }
  const std::string target = install_ + "\\Prog.exe";
  CreateDesktopShortcut(target.c_str(), "");
  CreateQuickLaunchShortcut(target.c_str(), "");
  char quick_launch[MAX_PATH];
  GetQuickLaunchFolder(quick_launch, sizeof quick_launch);
  for (const std::string& folder : {Folder(CSIDL_DESKTOP), std::string(quick_launch)}) {
    cleanup_.push_back(folder + ".lnk");
    EXPECT_FALSE(Exists(folder + ".lnk")) << folder;
  }
}

TEST_F(StartMenuGroupTest, FallbackBuildsTheGroupAsideAndMovesIt) {
  const std::string temp = install_ + "\\1";
  CreateDirectoryA(temp.c_str(), nullptr);
  strcpy(context_.temp_folder, temp.c_str());
  CreateStartMenuGroup(nullptr, &context_);
  EXPECT_EQ(Entries(), (Names{"Tolvenwark Group Test", "Uninstall", "License", "Order"}));
  ExpectLink(group_folder_ + "\\Uninstall.lnk", install_ + "\\UnInst.exe", install_);
  EXPECT_FALSE(Exists(temp + "\\Tolvenwark Group Test")) << "moved, not copied";
}

}  // namespace
