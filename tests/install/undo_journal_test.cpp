// The record of a run's changes: what undoing, committing and the next run
// after an interrupted one make of it.
#include "install/undo_journal.h"

#include <windows.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "install/restart_removal.h"
#include "shell/windows_family.h"
#include "tests/dialog/setup_probe.h"
#include "tests/e2e/installed_product.h"
#include "tests/install/test_paths.h"

namespace {

// A new file at `path`, where the run has made way for it.
void WriteNew(UndoJournal* journal, const std::string& path, const std::string& content) {
  ASSERT_TRUE(MakeWayFor(journal, path.c_str())) << path;
  WriteWholeFile(path, content);
}

// A run ended from outside: the record stays as it was written.
void EndFromOutside(UndoJournal* journal) {
  CloseHandle(journal->record);
  journal->record = INVALID_HANDLE_VALUE;
}

// Whatever happened to a run, the folder ends as it was before it (undone)
// or with the new files and nothing of the run's own (committed); a folder
// the run made goes with an undone run.
TEST(UndoJournal, EveryEndLeavesTheFolderAsItWasOrWithTheNewFilesOnly) {
  struct Case {
    const char* why;
    bool new_folder;  // the run makes the folder and a parent
    std::function<void(UndoJournal*)> end;
    bool undone;
  };
  const Case cases[] = {
      {"undone", false, UndoChanges, true},
      {"committed", false, CommitChanges, false},
      {"undone, into folders it made", true, UndoChanges, true},
      {"ended from outside, finished by the next run", true,
       [](UndoJournal* journal) {
         std::string folder = journal->folder;
         EndFromOutside(journal);
         RecoverInterruptedRun((folder + "\\").c_str());
       },
       true},
      {"ended from outside, put right by the next run once a file it held is free", false,
       [](UndoJournal* journal) {
         std::string folder = journal->folder;
         EndFromOutside(journal);
         HANDLE held = CreateFileA((folder + "\\A.TXT").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         RecoverInterruptedRun(folder.c_str());
         UndoJournal next;
         EXPECT_FALSE(BeginChanges(&next, folder.c_str())) << "over the record, which would be lost";
         CloseHandle(held);
         RecoverInterruptedRun(folder.c_str());
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string root = WindowsScratchFolder();
    const std::string folder = c.new_folder ? root + "\\made\\Product" : root;
    if (!c.new_folder) {
      WriteWholeFile(root + "\\A.TXT", "earlier a");
      WriteWholeFile(root + "\\B.TXT", "earlier b");
      SetFileAttributesA((root + "\\B.TXT").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    }
    if (!c.undone) {
      // A folder of the run's own name that is the user's (its time would
      // change in an undone run): its files are never taken for kept ones.
      CreateDirectoryA((root + "\\tw-undo").c_str(), nullptr);
      WriteWholeFile(root + "\\tw-undo\\1.tmp", "the user's own file, whose name a kept file would take");
    }
    const std::string before = FolderState(root);

    UndoJournal journal;
    ASSERT_TRUE(BeginChanges(&journal, folder.c_str()));
    // A name placed twice (two entries of one name) is kept aside twice.
    WriteNew(&journal, folder + "\\A.TXT", "first a");
    WriteNew(&journal, folder + "\\A.TXT", "second a");
    WriteNew(&journal, folder + "\\B.TXT", "new b");
    WriteNew(&journal, folder + "\\C.TXT", "new c");
    c.end(&journal);

    if (c.undone) {
      EXPECT_EQ(FolderState(root), before);
    } else {
      EXPECT_EQ(FolderNames(folder), std::vector<std::string>({"A.TXT", "B.TXT", "C.TXT", "tw-undo\\"}));
      EXPECT_EQ(ReadWholeFile(folder + "\\A.TXT"), "second a");
      EXPECT_EQ(FolderNames(folder + "\\tw-undo"), std::vector<std::string>({"1.tmp"})) << "only the user's";
    }
  }
}

// A run ended after its last line: the next run only deletes what it kept.
TEST(UndoJournal, ARecordThatEndsCommittedIsFinishedNotUndone) {
  const std::string folder = WindowsScratchFolder();
  WriteWholeFile(folder + "\\A.TXT", "new a");
  CreateDirectoryA((folder + "\\tw-undo").c_str(), nullptr);
  WriteWholeFile(folder + "\\tw-undo\\3.tmp", "earlier a");
  WriteWholeFile(folder + "\\tw-undo\\record.tmp", "N\tB.TXT\r\nK\ttw-undo\\3.tmp\tA.TXT\r\nN\tA.TXT\r\nC\t\r\n");
  WriteWholeFile(folder + "\\B.TXT", "new b");
  RecoverInterruptedRun(folder.c_str());
  EXPECT_EQ(FolderNames(folder), std::vector<std::string>({"A.TXT", "B.TXT"}));
  EXPECT_EQ(ReadWholeFile(folder + "\\A.TXT"), "new a");
  RecoverInterruptedRun(folder.c_str());  // no record: nothing happens
  EXPECT_EQ(FolderNames(folder), std::vector<std::string>({"A.TXT", "B.TXT"}));
}

// A kept file still in use when the run succeeds is deleted at the next
// restart: NT's pending renames; 9x's wininit.ini, seen by this test
// program run again under a name that Wine makes Windows 98.
TEST(DeleteAtRestart, UsesEachFamilysWay) {
  const std::string folder = WindowsScratchFolder();
  const std::string kept = folder + "\\tw-kept-1.tmp";
  WriteWholeFile(kept, "in use");
  if (DetectWindowsFamily() == 0) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string wininit = std::string(windows) + "\\wininit.ini";
    WriteWholeFile(wininit, "[rename]\r\nNUL=C:\\EARLIER.TMP\r\n");
    EXPECT_TRUE(DeleteAtRestart(kept.c_str()));
    char short_path[MAX_PATH];
    GetShortPathNameA(kept.c_str(), short_path, sizeof short_path);
    const std::string text = ReadWholeFile(wininit);
    DeleteFileA(wininit.c_str());
    EXPECT_NE(text.find("NUL=C:\\EARLIER.TMP"), std::string::npos) << "an earlier line stays\n" << text;
    EXPECT_NE(text.find(std::string("NUL=") + short_path), std::string::npos) << text;
    return;
  }
  ASSERT_EQ(GetEnvironmentVariableA("TOLVEN_EXPECT_9X", nullptr, 0), 0u) << "Wine's win98 setting for this program";
  const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
  EXPECT_TRUE(DeleteAtRestart(kept.c_str()));
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
  char pending[4096] = {};
  DWORD size = sizeof pending - 2;
  EXPECT_EQ(
      RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(pending), &size),
      ERROR_SUCCESS);
  EXPECT_NE(std::string(pending, size).find("tw-kept-1.tmp"), std::string::npos);
  RegDeleteValueA(key, "PendingFileRenameOperations");
  RegCloseKey(key);

  EXPECT_TRUE(PassesAsWindows98(folder, "win98_install_tests.exe", "DeleteAtRestart.UsesEachFamilysWay"))
      << "the 9x family's way failed";
}

}  // namespace
