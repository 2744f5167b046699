// The uninstaller deletes what its list names from its folder, so it reads
// no list but one that a build writes: each case is a list that would make
// it delete something else, or read past the list's end.
#include <gtest/gtest.h>

#include <string>

#include "archive/uninstall_record.h"

namespace {

using namespace std::string_literals;

TEST(UninstallList, ReadsOnlyWhatABuildWrites) {
  struct Case {
    const char* why;
    std::string list;
    bool read;
    uint32_t names;
  } const cases[] = {
      {"a list as a build writes it", "Demo\0TWD\0KDEMO.EXE\0KDEMO.EXE\0UnInst.exe\0\0"s, true, 2},
      {"empty head texts", "\0\0\0UnInst.exe\0\0"s, true, 1},
      {"a name that only starts with dots", "Demo\0\0\0..rc\0\0"s, true, 1},
      {"cut before the closing empty text", "Demo\0TWD\0KDEMO.EXE\0UnInst.exe\0"s, false, 0},
      {"cut inside a name", "Demo\0TWD\0KDEMO.EXE\0UnIn"s, false, 0},
      {"cut inside the head", "Demo\0TW"s, false, 0},
      {"an empty name among the names", "Demo\0\0\0A.TXT\0\0B.TXT\0\0"s, false, 0},
      {"a product name longer than Setup keeps", std::string(32, 'P') + "\0\0\0A.TXT\0\0"s, false, 0},
      {"a package ID longer than Setup keeps", "Demo\0TWDX\0\0A.TXT\0\0"s, false, 0},
      {"a product name that would name another folder", "..\\Windows\0\0\0A.TXT\0\0"s, false, 0},
      {"a name in a folder", "Demo\0\0\0sub\\A.TXT\0\0"s, false, 0},
      {"a name that climbs out", "Demo\0\0\0..\0\0"s, false, 0},
      {"a name of dots and blanks", "Demo\0\0\0. .\0\0"s, false, 0},
      {"a name with a drive", "Demo\0\0\0C:A.TXT\0\0"s, false, 0},
      {"a name with a forward slash", "Demo\0\0\0/A.TXT\0\0"s, false, 0},
  };
  for (const Case& c : cases) {
    UninstallList list = {};
    EXPECT_EQ(ParseUninstallList(c.list.data(), static_cast<uint32_t>(c.list.size()), &list), c.read) << c.why;
    if (c.read) {
      EXPECT_EQ(list.name_count, c.names) << c.why;
    }
  }
}

}  // namespace
