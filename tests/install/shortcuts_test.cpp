#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/folders.h"
#include "install/shell_folders.h"
#include "install/shortcuts.h"
#include "shell/setup_state.h"
#include "tests/e2e/installed_product.h"
#include "tests/install/test_paths.h"
#include "tests/support/scratch.h"

namespace {

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
      if (PathExists(path)) ShellDelete(path.c_str());
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
    ShortcutInfo link = ReadShortcut(path);
    ASSERT_TRUE(link.readable) << path;
    EXPECT_EQ(link.target, target) << path;
    EXPECT_EQ(link.working_directory, working_directory) << path;
    EXPECT_EQ(link.show_command, SW_SHOW) << path;
  }

  SetupState state_ = {};
  std::string install_;
  std::vector<std::string> cleanup_;
};

// Made directly, on the desktop or as a group entry, a shortcut points at
// its target and starts in the target's folder.
TEST_F(ShortcutTest, ShortcutsPointAtTheirTargetAndStartInItsFolder) {
  const std::string target = install_ + "\\Prog.exe";
  EXPECT_EQ(CreateShortcut((install_ + "\\Direct.lnk").c_str(), target.c_str(), install_.c_str()), S_OK);
  ExpectLink(install_ + "\\Direct.lnk", target, install_);
  const std::string desktop = Folder(CSIDL_DESKTOP) + "\\Tolvenwark Desktop Test.lnk";
  cleanup_.push_back(desktop);
  CreateDesktopShortcut(target.c_str(), "Tolvenwark Desktop Test");
  ExpectLink(desktop, target, install_);
  CreateGroupEntry("Run", install_.c_str(), "Prog.exe", install_.c_str());
  ExpectLink(install_ + "\\Run.lnk", target, install_);
}

// A shortcut with no folder to go to, no name or no file is not made.
TEST_F(ShortcutTest, NoShortcutWithoutItsFolderNameOrFile) {
  const std::string nowhere = install_ + "\\missing folder\\Direct.lnk";
  EXPECT_TRUE(FAILED(CreateShortcut(nowhere.c_str(), (install_ + "\\Prog.exe").c_str(), install_.c_str())));
  EXPECT_FALSE(PathExists(nowhere));
  CreateGroupEntry("", install_.c_str(), "Prog.exe", install_.c_str());
  CreateGroupEntry("NoFile", install_.c_str(), "", install_.c_str());
  EXPECT_FALSE(PathExists(install_ + "\\.lnk"));
  EXPECT_FALSE(PathExists(install_ + "\\NoFile.lnk"));
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
  if (!PathExists(parent)) cleanup_.push_back(parent);
  const std::string link = quick_launch + "\\Tolvenwark Quick Test.lnk";
  FolderHiddenForTest hidden(quick_launch);
  ASSERT_FALSE(PathExists(quick_launch));
  EXPECT_EQ(HasQuickLaunchFolder(), 0);
  CreateQuickLaunchShortcut((install_ + "\\Prog.exe").c_str(), "Tolvenwark Quick Test");
  EXPECT_FALSE(PathExists(link)) << "a missing folder is not created";

  SHCreateDirectoryExA(nullptr, quick_launch.c_str(), nullptr);
  EXPECT_EQ(HasQuickLaunchFolder(), 1);
  CreateQuickLaunchShortcut((install_ + "\\Prog.exe").c_str(), "Tolvenwark Quick Test");
  ExpectLink(link, install_ + "\\Prog.exe", install_);
  DeleteFileA(link.c_str());
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
    ASSERT_FALSE(PathExists(group_folder_));
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
    for (const char* name : {"Tolvenwark Group Test", "Uninstall", "License", "Order", "Bestellung"}) {
      if (PathExists(group_folder_ + "\\" + name + ".lnk")) names.push_back(name);
    }
    return names;
  }

  InstallContext context_ = {};
  std::string programs_;
  std::string group_folder_;
};

using Names = std::vector<std::string>;

// The group goes to the all-users Programs folder with an entry for every
// file placed, each pointing at it and starting in the installation folder.
TEST_F(StartMenuGroupTest, GetsAnEntryForEveryPlacedFile) {
  const std::string temp = install_ + "\\1";
  CreateDirectoryA(temp.c_str(), nullptr);
  const Names all = {"Tolvenwark Group Test", "Uninstall", "License", "Order"};
  struct {
    const char* why;
    int german_count;
    const char* license;      // "" when the entry was not placed
    bool group_exists;        // made by an earlier installation
    const char* temp_folder;  // the fallback builds the group there and moves it
    Names entries;
  } const cases[] = {
      {"no Bestellung without German", 0, "LICENSE.TXT", false, "", all},
      {"Bestellung only with German; no entry for a file not placed",
       2,
       "",
       false,
       "",
       {"Tolvenwark Group Test", "Uninstall", "Order", "Bestellung"}},
      {"an existing group folder gets no entries", 0, "LICENSE.TXT", true, "", {}},
      {"the fallback's group is moved into place, not copied", 0, "LICENSE.TXT", false, temp.c_str(), all},
  };
  const std::map<std::string, std::string> targets = {{"Tolvenwark Group Test", "Prog.exe"},
                                                      {"Uninstall", "UnInst.exe"},
                                                      {"License", "LICENSE.TXT"},
                                                      {"Order", "ORDER.HTM"},
                                                      {"Bestellung", "BESTELL.HTM"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    ShellDelete(group_folder_.c_str());
    if (c.group_exists) CreateDirectoryA(group_folder_.c_str(), nullptr);
    context_.german_count = c.german_count;
    strcpy(context_.license_file, c.license);
    strcpy(context_.temp_folder, c.temp_folder);
    CreateStartMenuGroup(nullptr, &context_);
    EXPECT_EQ(Entries(), c.entries);
    for (const std::string& entry : c.entries) {
      ExpectLink(group_folder_ + "\\" + entry + ".lnk", install_ + "\\" + targets.at(entry), install_);
    }
    EXPECT_FALSE(PathExists(temp + "\\Tolvenwark Group Test"));
  }
  EXPECT_FALSE(PathExists(Folder(CSIDL_PROGRAMS) + "\\Tolvenwark Group Test")) << "not in the user's own menu";
}

// Without a name a shortcut would be ".lnk" joined to its folder: a file
// beside the desktop or Quick Launch folder, named after it.
TEST_F(StartMenuGroupTest, EmptyProductNameMakesNoGroupAndNoIcons) {
  state_.group[0] = '\0';
  CreateStartMenuGroup(nullptr, &context_);
  for (const char* name : {"Uninstall", "License", "Order", ".lnk"}) {
    EXPECT_FALSE(PathExists(programs_ + "\\" + name + ".lnk")) << name;
  }
  const std::string target = install_ + "\\Prog.exe";
  CreateDesktopShortcut(target.c_str(), "");
  CreateQuickLaunchShortcut(target.c_str(), "");
  char quick_launch[MAX_PATH];
  GetQuickLaunchFolder(quick_launch, sizeof quick_launch);
  for (const std::string& folder : {Folder(CSIDL_DESKTOP), std::string(quick_launch)}) {
    cleanup_.push_back(folder + ".lnk");
    EXPECT_FALSE(PathExists(folder + ".lnk")) << folder;
  }
}

}  // namespace
