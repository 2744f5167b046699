#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "install/folders.h"
#include "tests/e2e/installed_product.h"
#include "tests/setup/message_box_watcher.h"
#include "tests/install/test_paths.h"

namespace {

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TEST(CreateFolderPath, CreatesMissingLevelsAndReportsHowItWent) {
  const std::string root = ScratchFolder();
  WriteWholeFile(root + "file", "x");
  CreateDirectoryA((root + "existing").c_str(), nullptr);
  struct Case {
    std::string path;
    int result;
    const char* why;
  };
  const Case cases[] = {
      {root + "existing", kFolderNotCreated, "an existing folder"},
      {root + "new", kFolderCreated, "one level"},
      {root + "A\\B\\D", kFolderCreated, "every missing level, outermost first"},
      {root + "E/F", kFolderCreated, "forward slashes separate too"},
      {root + "G\\H\\", kFolderParentsOnly, "a trailing separator: the last level is made as a parent"},
      {root + "file\\sub", kFolderNotCreated, "a file stands where a parent should be"},
      {"Q:\\A", kFolderNotCreated, "the only missing parent is a drive root"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CreateFolderPath(c.path.c_str()), c.result) << c.why;
  }
  for (const char* made : {"new", "A\\B\\D", "E\\F", "G\\H"}) EXPECT_TRUE(IsFolder(root + made)) << made;
  EXPECT_FALSE(PathExists(root + "file\\sub"));
}

// The temporary folder is named without its separator here: one is put in.
TEST(MakeTempFolderName, CountsInHexadecimalPastTakenNames) {
  const std::string temp = WindowsScratchFolder() + "\\";
  TemporaryFolderForTest tmp(WindowsScratchFolder());
  char name[MAX_PATH];
  struct Step {
    const char* create;  // taken before asking
    const char* expected;
  };
  const Step steps[] = {
      {nullptr, "1"},
      {"1", "2"},
      {"2", "3"},
  };
  for (const Step& step : steps) {
    if (step.create != nullptr) CreateDirectoryA((temp + step.create).c_str(), nullptr);
    EXPECT_EQ(MakeTempFolderName(name, sizeof name), 0);
    EXPECT_EQ(name, temp + step.expected);
  }
  for (const char* taken : {"3", "4", "5", "6", "7", "8", "9"}) CreateDirectoryA((temp + taken).c_str(), nullptr);
  MakeTempFolderName(name, sizeof name);
  EXPECT_EQ(name, temp + "a");
  WriteWholeFile(temp + "a", "a file takes a name too");
  for (const char* taken : {"b", "c", "d", "e", "f"}) CreateDirectoryA((temp + taken).c_str(), nullptr);
  MakeTempFolderName(name, sizeof name);
  EXPECT_EQ(name, temp + "10");
  EXPECT_FALSE(PathExists(name)) << "the folder is only named, not made";
}

TEST(MakeTempFolderName, NumberThatDoesNotFitGivesNoName) {
  const std::string temp = WindowsScratchFolder() + "\\";
  TemporaryFolderForTest tmp(temp);
  const size_t exact = temp.size() + 2;  // the temporary folder, "1" and the terminator
  char name[MAX_PATH];
  memset(name, 'x', sizeof name);
  EXPECT_EQ(MakeTempFolderName(name, exact), 0);
  EXPECT_EQ(name, temp + "1");
  CreateDirectoryA((temp + "1").c_str(), nullptr);
  memset(name, 'x', sizeof name);
  // Not even the temporary folder itself fits.
  EXPECT_EQ(MakeTempFolderName(name, temp.size()), -1);
  EXPECT_STREQ(name, "");
  // With every one-digit name taken, "10" needs a byte more than there is.
  for (const char* taken : {"2", "3", "4", "5", "6", "7", "8", "9", "a", "b", "c", "d", "e", "f"}) {
    CreateDirectoryA((temp + taken).c_str(), nullptr);
  }
  memset(name, 'x', sizeof name);
  EXPECT_EQ(MakeTempFolderName(name, exact), -1) << "a cut number would repeat a taken one";
  EXPECT_STREQ(name, "");
  EXPECT_EQ(name[exact], 'x');
}

TEST(ShellMove, MovesAFolderWithItsContentOrRefuses) {
  const std::string root = ScratchFolder();
  CreateDirectoryA((root + "from").c_str(), nullptr);
  CreateDirectoryA((root + "from\\sub").c_str(), nullptr);
  WriteWholeFile(root + "from\\sub\\a.txt", "content");
  EXPECT_EQ(ShellMove(nullptr, (root + "from").c_str(), (root + "to").c_str()), 0);
  EXPECT_FALSE(PathExists(root + "from"));
  EXPECT_EQ(ReadWholeFile(root + "to\\sub\\a.txt"), "content");
  // Onto an existing folder: the source goes inside it.
  CreateDirectoryA((root + "more").c_str(), nullptr);
  EXPECT_EQ(ShellMove(nullptr, (root + "more").c_str(), (root + "to").c_str()), 0);
  EXPECT_TRUE(IsFolder(root + "to\\more"));
  // A path that does not fit is refused, and nothing moves.
  const std::string long_target = root + std::string(300 - root.size(), 'n');
  EXPECT_EQ(ShellMove(nullptr, (root + "to").c_str(), long_target.c_str()), -1);
  EXPECT_TRUE(IsFolder(root + "to\\more"));
}

TEST(ShellDelete, RemovesAFolderWithContentOrNothing) {
  const std::string root = ScratchFolder();
  CreateDirectoryA((root + "gone").c_str(), nullptr);
  CreateDirectoryA((root + "gone\\sub").c_str(), nullptr);
  WriteWholeFile(root + "gone\\sub\\a.txt", "x");
  ShellDelete((root + "gone").c_str());
  EXPECT_FALSE(PathExists(root + "gone"));
  EXPECT_TRUE(IsFolder(root)) << "only the named folder";
  MessageBoxWatcher watcher;
  ShellDelete((root + "never was").c_str());
  EXPECT_TRUE(watcher.Finish().empty()) << "a missing path shows nothing";
}

TEST(ShellDelete, LeavesEverythingWhenThePathDoesNotFit) {
  const std::string root = ScratchFolder();
  // Cut to 259 characters this would name the folder "keep" below.
  const std::string keep = root + std::string(259 - root.size(), 'k');
  ASSERT_TRUE(CreateDirectoryA(keep.c_str(), nullptr) || GetLastError() == ERROR_FILENAME_EXCED_RANGE);
  if (!PathExists(keep)) GTEST_SKIP() << "the scratch folder is too deep for this case";
  ShellDelete((keep + "longer").c_str());
  EXPECT_TRUE(IsFolder(keep));
}

// The fallback's last step: files of the same names are kept aside, read-only
// ones too (which Windows, and Wine, refuse to delete), and come back as
// they were when the run is undone; what cannot be replaced is named and
// stays behind.
TEST(MoveFilesInto, KeepsAsideWhatItReplaces) {
  for (bool undo : {false, true}) {
    SCOPED_TRACE(undo ? "undone" : "committed");
    const std::string root = ScratchFolder();
    const std::string from = root + "from";
    const std::string to = root + "to";
    CreateDirectoryA(from.c_str(), nullptr);
    CreateDirectoryA(to.c_str(), nullptr);
    for (const char* name : {"A.TXT", "B.TXT", "C.TXT"}) WriteWholeFile(from + "\\" + name, std::string("new ") + name);
    WriteWholeFile(to + "\\A.TXT", "old");
    SetFileAttributesA((to + "\\A.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteWholeFile(to + "\\B.TXT", "old");
    const std::string before = FolderState(to);

    UndoJournal journal;
    ASSERT_TRUE(BeginChanges(&journal, to.c_str()));
    char failed[MAX_PATH] = "x";
    EXPECT_EQ(MoveFilesInto(from.c_str(), &journal, failed), 0u);
    EXPECT_STREQ(failed, "");
    for (const char* name : {"A.TXT", "B.TXT", "C.TXT"}) {
      EXPECT_EQ(ReadWholeFile(to + "\\" + name), std::string("new ") + name);
    }
    EXPECT_FALSE(PathExists(from)) << "the emptied folder is removed";
    if (undo) {
      UndoChanges(&journal);
      EXPECT_EQ(FolderState(to), before);
    } else {
      CommitChanges(&journal);
      EXPECT_EQ(FolderNames(to), std::vector<std::string>({"A.TXT", "B.TXT", "C.TXT"})) << "nothing kept";
    }

    // A folder where a file should go cannot be replaced.
    CreateDirectoryA(from.c_str(), nullptr);
    WriteWholeFile(from + "\\SUB", "a file");
    CreateDirectoryA((to + "\\SUB").c_str(), nullptr);
    ASSERT_TRUE(BeginChanges(&journal, to.c_str()));
    EXPECT_NE(MoveFilesInto(from.c_str(), &journal, failed), 0u);
    EXPECT_EQ(failed, to + "\\SUB");
    EXPECT_EQ(ReadWholeFile(from + "\\SUB"), "a file");
    EXPECT_TRUE(IsFolder(to + "\\SUB"));
    UndoChanges(&journal);

    // A move that reports success yet leaves the file where it was (here:
    // onto itself) ends the loop instead of finding the file for ever.
    const std::string same = root + "same";
    CreateDirectoryA(same.c_str(), nullptr);
    WriteWholeFile(same + "\\D.TXT", "d");
    ASSERT_TRUE(BeginChanges(&journal, same.c_str()));
    EXPECT_NE(MoveFilesInto(same.c_str(), &journal, failed), 0u);
    UndoChanges(&journal);
  }
}

TEST(MoveAsidePsapi, RenamesAnExistingPsapiOnlyAndUndoesIt) {
  struct Case {
    bool psapi;
    bool kvpsapi;
    const char* psapi_after;  // content, or "" when gone
    const char* kvpsapi_after;
  };
  const Case cases[] = {
      {true, false, "", "new"},    // moved aside
      {false, false, "", ""},      // nothing to move
      {true, true, "new", "old"},  // an earlier copy is never replaced
  };
  for (const Case& c : cases) {
    const std::string root = ScratchFolder();
    if (c.psapi) WriteWholeFile(root + "PSAPI.DLL", "new");
    if (c.kvpsapi) WriteWholeFile(root + "KVPSAPI.DLL", "old");
    std::string folder = root;
    folder.pop_back();  // without its trailing separator
    const std::string before = FolderState(folder);
    UndoJournal journal;
    ASSERT_TRUE(BeginChanges(&journal, folder.c_str()));
    MoveAsidePsapi(&journal);
    EXPECT_EQ(ReadWholeFile(root + "PSAPI.DLL"), c.psapi_after);
    EXPECT_EQ(ReadWholeFile(root + "KVPSAPI.DLL"), c.kvpsapi_after);
    UndoChanges(&journal);
    EXPECT_EQ(FolderState(folder), before);
  }
}

TEST(ShowSystemError, ShowsTheSystemTextOfTheCode) {
  const std::string expected = SystemText(82);
  ASSERT_NE(expected, "");
  {
    MessageBoxWatcher watcher;
    EXPECT_EQ(ShowSystemError(nullptr, 82, nullptr), IDOK);
    const auto& seen = watcher.Finish();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "") << "no caption given: an empty one";
    // The box may drop the text's closing line break.
    EXPECT_EQ(seen[0].text.substr(0, 20), expected.substr(0, 20));
  }
  {
    MessageBoxWatcher watcher;
    SetLastError(0);
    EXPECT_EQ(ShowSystemError(nullptr, 0, "x"), 0) << "no code, no last error";
    EXPECT_EQ(ShowSystemError(nullptr, 0x2000FFFF, "x"), 2) << "a code without text";
    EXPECT_TRUE(watcher.Finish().empty());
  }
}

}  // namespace
