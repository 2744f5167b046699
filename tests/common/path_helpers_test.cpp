#include "common/path_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/bounded_text.h"
#include "tests/support/scratch.h"

namespace {

TEST(CutLastComponent, Cases) {
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"C:\\A\\B", "C:\\A"}, {"C:\\A", "C:\\"},     // the drive root keeps its separator
      {"C:\\", "C:\\"},      {"C:\\A\\", "C:\\A"},  // only the trailing separator goes
      {"NAME", ""},          {"\\NAME", ""},       {"C:/A/B", "C:/A"}, {"", ""},
  };
  for (const Case& c : cases) {
    char buffer[kPathSize];
    strcpy(buffer, c.path);
    CutLastComponent(buffer);
    EXPECT_STREQ(buffer, c.expected) << c.path;
  }
}

TEST(FileNameOffset, Cases) {
  EXPECT_EQ(FileNameOffset("A\\B\\C.TXT"), 4);
  EXPECT_EQ(FileNameOffset("C.TXT"), 0);
  EXPECT_EQ(FileNameOffset("A\\"), 2);  // an empty file-name part
  EXPECT_EQ(FileNameOffset("A/B"), 2);
  EXPECT_EQ(FileNameOffset(""), 0);
}

TEST(AddTrailingSeparator, Cases) {
  struct Case {
    const char* path;
    size_t size;
    const char* expected;
    bool done;
  } cases[] = {
      {"C:", 8, "C:\\", true},
      {"C:\\", 8, "C:\\", true},
      {"C:/", 8, "C:/", true},
      {"", 8, "", true},  // an empty path stays empty
      // No byte for the separator and its terminator: nothing is written.
      {"ABCDEF", 7, "ABCDEF", false},
      {"ABCDE", 7, "ABCDE\\", true},
  };
  for (const Case& c : cases) {
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    strcpy(buffer, c.path);
    EXPECT_EQ(AddTrailingSeparator(buffer, c.size), c.done) << c.path;
    EXPECT_STREQ(buffer, c.expected) << c.path;
    EXPECT_EQ(buffer[c.size], '#') << c.path;
  }
}

// A folder's own name ends before its separators, except a drive's root,
// which would otherwise become the drive-relative "C:".
TEST(CopyWithoutTrailingSeparators, Cases) {
  struct Case {
    const char* folder;
    const char* expected;
  } cases[] = {
      {"C:\\Product\\", "C:\\Product"},
      {"C:\\Product/\\", "C:\\Product"},
      {"C:\\Product", "C:\\Product"},
      {"C:\\", "C:\\"},
      {"C:\\\\", "C:\\"},
  };
  for (const Case& c : cases) {
    char out[kPathSize];
    CopyWithoutTrailingSeparators(out, c.folder);
    EXPECT_STREQ(out, c.expected) << c.folder;
  }
}

TEST(JoinPath, Cases) {
  struct Case {
    const char* reason;
    const char* folder;
    const char* name;
    size_t size;
    const char* expected;
    int result;
  } cases[] = {
      {"one leading separator dropped", "C:\\DIR", "\\FILE", kPathSize, "C:\\DIR\\FILE", 0},
      {"existing '/' kept", "C:\\DIR/", "FILE", kPathSize, "C:\\DIR/FILE", 0},
      {"only one of two leading separators dropped", "C:\\DIR", "\\\\FILE", kPathSize, "C:\\DIR\\\\FILE", 0},
      {"empty folder gives the name", "", "FILE", kPathSize, "FILE", 0},
      {"empty name does nothing", "C:\\DIR", "", kPathSize, "C:\\DIR", 0},
      {"name cut at the buffer", "C:\\D", "FILENAME", 10, "C:\\D\\FILE", kTextTruncated},
      {"no room even for the separator", "C:\\DIR", "F", 7, "C:\\DIR", kTextNoRoom},
      {"separator fits, name does not", "C:\\DI", "F", 7, "C:\\DI\\", kTextNoRoom},
  };
  for (const Case& c : cases) {
    char buffer[kPathSize + 8];
    memset(buffer, '#', sizeof buffer);
    strcpy(buffer, c.folder);
    EXPECT_EQ(JoinPath(buffer, c.name, c.size), c.result) << c.reason;
    EXPECT_STREQ(buffer, c.expected) << c.reason;
    EXPECT_EQ(buffer[c.size], '#') << c.reason;
  }
}

// Whether a path is fully qualified and, for those that are, whether it is a
// drive's or a share's root, where no product may be installed.
TEST(IsFullyQualifiedPath, CasesAndTheirRoots) {
  struct Case {
    const char* path;
    bool qualified;
    bool root;
    const char* why;
  } cases[] = {
      {"C:\\Apps\\Demo", true, false, "a drive and its root"},
      {"d:/Apps", true, false, "any letter, either separator"},
      {"C:\\", true, true, "the root itself"},
      {"C:/\\", true, true, "the root with more separators"},
      {"\\\\server\\share\\Demo", true, false, "a network share"},
      {"//server/share", true, true, "a share with forward slashes, itself"},
      {"\\\\server\\share\\", true, true, "a share with a separator"},
      {"reltest\\sub", false, false, "relative to the current folder"},
      {"C:Apps", false, false, "relative to the drive's current folder"},
      {"\\Apps", false, false, "on the current drive"},
      {"1:\\Apps", false, false, "no drive letter"},
      {"\\\\server", false, false, "a server without a share"},
      {"\\\\server\\", false, false, "a share without a name"},
      {"\\\\\\share", false, false, "a share without a server"},
      {"\\\\.\\C:\\Apps", false, false, "the device space"},
      {"\\\\?\\C:\\Apps", false, false, "the raw path space"},
      {"", false, false, "nothing"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsFullyQualifiedPath(c.path), c.qualified) << c.path << ": " << c.why;
    if (c.qualified) {
      EXPECT_EQ(IsRootFolder(c.path), c.root) << c.path << ": " << c.why;
    }
  }
}

TEST(MakeFullPath, RelativeBecomesAbsolute) {
  char path[kPathSize] = "some\\folder\\..\\file.txt";
  ASSERT_EQ(MakeFullPath(path), 0);
  std::string full = path;
#ifdef _WIN32
  EXPECT_EQ(full[1], ':') << full;
  EXPECT_EQ(full.substr(full.size() - 14), "\\some\\file.txt") << full;
#else
  EXPECT_EQ(full[0], '/') << full;
  EXPECT_EQ(full.substr(full.size() - 14), "/some/file.txt") << full;
#endif
}

TEST(MakeFullPath, TooLongForTheBufferIsLeftAlone) {
  // A relative path of 250 characters cannot have a full form of under 260
  // bytes once the current folder is put in front of it.
  char path[kPathSize];
  std::string relative(250, 'n');
  strcpy(path, relative.c_str());
  EXPECT_EQ(MakeFullPath(path), -1);
  EXPECT_EQ(std::string(path), relative);
}

TEST(ToWide, ConvertsAndBounds) {
  WideChar wide[8];
  for (WideChar& w : wide) w = 0x2323;
  // "Übersicht" in Windows-1252; only 4 characters fit a capacity of 5.
  ToWide(wide,
         "\xDC"
         "bersicht",
         5);
  EXPECT_EQ(wide[0], 0x00DC);
  EXPECT_EQ(wide[1], 'b');
  EXPECT_EQ(wide[3], 'r');
  EXPECT_EQ(wide[4], 0);
  EXPECT_EQ(wide[5], 0x2323);  // nothing past the capacity

  ToWide(wide, "\x80 5", 8);  // the euro sign is 0x80 in Windows-1252
  EXPECT_EQ(wide[0], 0x20AC);
  EXPECT_EQ(wide[2], '5');
  EXPECT_EQ(wide[3], 0);
}

TEST(CheckFileExists, FilesAndFolders) {
  std::string folder = ScratchFolder();
  EXPECT_EQ(CheckFileExists(folder.c_str()), 0);
  std::string file = folder + "present.txt";
  WriteWholeFile(file, "x");
  EXPECT_EQ(CheckFileExists(file.c_str()), 0);
  EXPECT_EQ(CheckFileExists((folder + "missing.txt").c_str()), -1);
}

}  // namespace
