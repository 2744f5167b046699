#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "archive/uninstall_record.h"
#include "install/install_context.h"
#include "install/registry.h"
#include "shell/setup_state.h"
#include "tests/e2e/installed_product.h"
#include "tests/install/test_paths.h"

namespace {

const char kRemembered[] = "Software\\Tolvenwark";
const char kVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kProduct[] = "Tolvenwark Registry Test";
const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvenwark Registry Test";

// The value as stored, or "<absent>".
std::string ReadValue(HKEY root, const char* key_name, const char* value) {
  HKEY key;
  if (RegOpenKeyExA(root, key_name, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<absent>";
  char data[600] = {};
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  LONG status = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return "<absent>";
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, strlen(data) + 1) << "stored with its terminating zero";
  return data;
}

// Each test starts from a product "Tolvenwark Registry Test" with id "RT",
// nothing remembered, and ProgramFilesDir and %ProgramFiles% as the prefix
// has them; the fixture puts back whatever a test changed.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    strcpy(state_.package_id, "RT");
    strcpy(state_.group, kProduct);
    g_setup_state = &state_;
    program_files_dir_ = ReadValue(HKEY_LOCAL_MACHINE, kVersion, "ProgramFilesDir");
    char variable[MAX_PATH] = {};
    GetEnvironmentVariableA("ProgramFiles", variable, sizeof variable);
    program_files_variable_ = variable;
    DeleteRegistryValue(HKEY_CURRENT_USER, kRemembered, "RT");
    DeleteRegistryValue(HKEY_CURRENT_USER, kRemembered, "");
  }
  void TearDown() override {
    DeleteRegistryValue(HKEY_CURRENT_USER, kRemembered, "RT");
    DeleteRegistryValue(HKEY_CURRENT_USER, kRemembered, "");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstall);
    SetProgramFilesDir(program_files_dir_.c_str());
    SetEnvironmentVariableA("ProgramFiles", program_files_variable_.c_str());
    g_setup_state = nullptr;
  }
  void SetProgramFilesDir(const char* folder) {
    if (strcmp(folder, "<absent>") == 0) {
      DeleteRegistryValue(HKEY_LOCAL_MACHINE, kVersion, "ProgramFilesDir");
    } else {
      SetRegistryValue(HKEY_LOCAL_MACHINE, kVersion, "ProgramFilesDir", REG_SZ, std::string(folder) + '\0');
    }
  }
  std::string Proposal(size_t size = MAX_PATH) {
    char out[MAX_PATH + 8];
    memset(out, 'x', sizeof out);
    GetDefaultDestination(out, size);
    EXPECT_EQ(out[size], 'x') << "wrote past the given size";
    return out;
  }

  SetupState state_ = {};
  std::string program_files_dir_;
  std::string program_files_variable_;
};

// A remembered folder comes first, when it is a usable string; then
// ProgramFilesDir, then the ProgramFiles variable, with the product's name.
TEST_F(RegistryTest, ProposalFromTheRememberedFolderOrProgramFiles) {
  SetEnvironmentVariableA("ProgramFiles", "E:\\Env Programs");
  const std::string product = "\\Tolvenwark Registry Test";
  const std::string long_value(MAX_PATH - 2, 'b');
  struct {
    const char* why;
    const char* program_files_dir;
    DWORD type;              // of the remembered value
    std::string remembered;  // "": none
    size_t size;
    std::string expected;
  } const cases[] = {
      {"ProgramFilesDir and the product", "D:\\Apps", REG_SZ, "", MAX_PATH, "D:\\Apps" + product},
      {"no doubled separator", "D:\\Apps\\", REG_SZ, "", MAX_PATH, "D:\\Apps" + product},
      {"cut to the given size", "D:\\Apps\\", REG_SZ, "", 20, "D:\\Apps\\Tolvenwark "},
      {"without ProgramFilesDir the variable", "<absent>", REG_SZ, "", MAX_PATH, "E:\\Env Programs" + product},
      {"an empty ProgramFilesDir counts as absent", "", REG_SZ, "", MAX_PATH, "E:\\Env Programs" + product},
      {"remembered: empty text is unusable", "D:\\Apps", REG_SZ, std::string("", 1), MAX_PATH, "D:\\Apps" + product},
      {"remembered: longer than the buffer, a cut path would be another folder", "D:\\Apps", REG_SZ,
       std::string(300, 'a'), MAX_PATH, "D:\\Apps" + product},
      {"remembered: not a string", "D:\\Apps", REG_DWORD, std::string("\x01\x02\x03\x04", 4), MAX_PATH,
       "D:\\Apps" + product},
      {"remembered without its terminator", "D:\\Apps", REG_SZ, "D:\\Raw", MAX_PATH, "D:\\Raw"},
      {"a long value without its zero still ends inside the buffer", "D:\\Apps", REG_SZ, long_value, MAX_PATH,
       long_value},
  };
  for (const auto& c : cases) {
    SetProgramFilesDir(c.program_files_dir);
    DeleteRegistryValue(HKEY_CURRENT_USER, kRemembered, "RT");
    if (!c.remembered.empty()) {
      EXPECT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kRemembered, "RT", c.type, c.remembered)) << c.why;
    }
    EXPECT_EQ(Proposal(c.size), c.expected) << c.why;
  }
}

TEST_F(RegistryTest, WithNeitherTheWindowsFoldersParentIsUsed) {
  SetProgramFilesDir("<absent>");
  SetEnvironmentVariableA("ProgramFiles", nullptr);
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof windows);
  std::string parent(windows, strrchr(windows, '\\') - windows);
  if (parent.size() == 2) parent += '\\';  // a drive root keeps its separator
  if (parent.back() != '\\') parent += '\\';
  const std::string programme = parent + "Programme";
  ASSERT_EQ(GetFileAttributesA(programme.c_str()), INVALID_FILE_ATTRIBUTES) << "the prefix has no Programme";
  EXPECT_EQ(Proposal(), parent + "Program Files\\Tolvenwark Registry Test");
  // A German system has Programme beside its Windows folder.
  ASSERT_TRUE(CreateDirectoryA(programme.c_str(), nullptr));
  EXPECT_EQ(Proposal(), programme + "\\Tolvenwark Registry Test");
  RemoveDirectoryA(programme.c_str());
}

TEST_F(RegistryTest, SavedFolderComesBackExactly) {
  SetProgramFilesDir("D:\\Apps");
  for (const char* folder : {"D:\\Tools\\X", "e:/Mixed\\Case Folder\\", "C:\\"}) {
    SaveInstallPath(folder);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRemembered, "RT"), folder);
    EXPECT_EQ(Proposal(), folder) << "nothing appended to a remembered folder";
  }
}

TEST_F(RegistryTest, EmptyPackageIdNeitherSavesNorReads) {
  SetProgramFilesDir("D:\\Apps");
  state_.package_id[0] = '\0';
  SetRegistryValue(HKEY_CURRENT_USER, kRemembered, "", REG_SZ, std::string("D:\\Default", 11));
  EXPECT_EQ(Proposal(), "D:\\Apps\\Tolvenwark Registry Test") << "the key's default value is not read";
  SaveInstallPath("D:\\Other");
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRemembered, ""), "D:\\Default") << "nor written";
}

// Without a product name nothing is proposed or registered.
TEST_F(RegistryTest, ProposalAndUninstallEntryNeedTheProductName) {
  SetProgramFilesDir("D:\\Apps");
  state_.group[0] = '\0';
  EXPECT_EQ(Proposal(), "") << "Program Files itself is no destination";
  SaveInstallPath("D:\\Chosen");
  EXPECT_EQ(Proposal(), "D:\\Chosen") << "a remembered folder needs no product name";

  const char kAllUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  InstallContext context = {};
  strcpy(context.destination, "D:\\Chosen");
  strcpy(context.uninstaller, "UnInst.exe");
  WriteUninstallEntry(&context);
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kAllUninstall, "DisplayName"), "<absent>");
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kAllUninstall, "UninstallString"), "<absent>");
}

// The entry as the system's list of installed programs shows it, written
// over one key again and again: a later installation has neither a main
// program nor a version nor a publisher, and none of an earlier one's
// stays. Only an uninstaller whose record a build filled (the ready one)
// also gets the quiet command, which goes again with any other.
TEST_F(RegistryTest, UninstallEntryNamesTheProductAsTheSystemListsIt) {
  const std::string folder = WindowsScratchFolder() + "\\Registry Product";
  CreateDirectoryA(folder.c_str(), nullptr);
  WriteWholeFile(folder + "\\KDEMO.EXE", "main program");
  const std::string uninstaller = "\"" + folder + "\\UnInst.exe\"";
  UninstallRecord record = EmptyUninstallRecord();
  const std::string unfilled =
      std::string(1000, 'M') + std::string(reinterpret_cast<char*>(record.bytes), sizeof record);
  std::string ready = unfilled;
  ready[1000 + kUninstallTagSize + 4] = 1;  // a list length: filled
  struct {
    const char* why;
    const char* main_exe;
    const char* version;
    const char* publisher;
    uint64_t installed_bytes;
    std::string program;  // the installed UnInst.exe; none when empty
    std::string icon, display_version, shown_publisher, estimated_size, quiet;
  } const cases[] = {
      {"the main program's icon, the size rounded up to KiB", "KDEMO.EXE", "1.0", "Tolvenwark", 1025, "",
       "\"" + folder + "\\KDEMO.EXE\"", "1.0", "Tolvenwark", "dword 2", "(none)"},
      {"a main program that is not there: the uninstaller's icon", "MISSING.EXE", "", "", 0, "", uninstaller, "(none)",
       "(none)", "dword 0", "(none)"},
      {"the ready uninstaller: also the quiet command", "MISSING.EXE", "", "", 0, ready, uninstaller, "(none)",
       "(none)", "dword 0", uninstaller + " /S"},
      {"one as built, which no package carries: the quiet command goes", "MISSING.EXE", "", "", 0, unfilled,
       uninstaller, "(none)", "(none)", "dword 0", "(none)"},
  };
  for (const auto& c : cases) {
    if (c.program.empty()) {
      DeleteFileA((folder + "\\UnInst.exe").c_str());
    } else {
      WriteWholeFile(folder + "\\UnInst.exe", c.program);
    }
    strcpy(state_.version, c.version);
    strcpy(state_.publisher, c.publisher);
    InstallContext context = {};
    strcpy(context.destination, folder.c_str());
    strcpy(context.uninstaller, "UnInst.exe");
    strcpy(context.main_exe, c.main_exe);
    context.installed_bytes = c.installed_bytes;
    WriteUninstallEntry(&context);
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstall, "DisplayName"), kProduct) << c.why;
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstall, "UninstallString"), uninstaller)
        << c.why << ": quoted, so that no C:\\Program.exe runs instead";
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstall, "QuietUninstallString"), c.quiet) << c.why;
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstall, "DisplayIcon"), c.icon) << c.why;
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstall, "DisplayVersion"), c.display_version) << c.why;
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstall, "Publisher"), c.shown_publisher) << c.why;
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstall, "InstallLocation"), folder) << c.why;
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstall, "EstimatedSize"), c.estimated_size) << c.why;
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstall, "NoModify"), "dword 1") << c.why;
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstall, "NoRepair"), "dword 1") << c.why;
  }
}

}  // namespace
