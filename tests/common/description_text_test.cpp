// How the installer reads FILE_ID.DIZ's title line and the .INF settings,
// as text alone.
#include "common/description_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct KeyCase {
  const char* why;
  const char* text;
  const char* key;
  const char* before;  // the field's text before the call
  size_t size;
  const char* after;
};

TEST(ReadKeyValueTest, TakesTheValueAfterTheFirstOccurrenceOnly) {
  const KeyCase cases[] = {
      {"plain value up to CR LF", "ID=TWP\r\nGroup=Paint\r\n", "ID", "", 4, "TWP"},
      {"a line feed alone ends it too", "Class=PaintFrame\nExe=paint.exe", "Class", "", 32, "PaintFrame"},
      {"the last line needs no line end", "Group=Tolven Paint", "Group", "", 32, "Tolven Paint"},
      {"keys are case significant", "id=TWP\r\n", "ID", "", 4, ""},
      {"the first occurrence decides, even inside another value", "Exe=MyID.exe\r\nID=TWP\r\n", "ID", "", 4, ""},
      {"a key not directly followed by '=' gives nothing", "Group = Paint\r\n", "Group", "", 32, ""},
      {"a longer value is cut to the field", "ID=ABCDEF\r\n", "ID", "", 4, "ABC"},
      {"a second .INF adds to what the first stored", "Exe=b.exe\r\n", "Exe", "a.exe", 32, "a.exeb.exe"},
      {"an empty value leaves the field", "Group=\r\n", "Group", "Old", 32, "Old"},
      {"no key at all leaves the field", "Nothing here", "Exe", "kept", 32, "kept"},
  };
  for (const KeyCase& c : cases) {
    char field[32];
    std::strcpy(field, c.before);
    ReadKeyValue(c.text, c.key, field, c.size);
    EXPECT_STREQ(field, c.after) << c.why;
  }
}

// The "Group" setting names the product, whichever entry comes first
// (FILE_ID.DIZ usually does): it replaces the title the name defaulted to,
// and is not added to it. The name becomes a folder, shortcut files and a
// registry key: trimmed, and a Group that cannot be one counts as none, so
// the title stays the name.
TEST(PackageDescription, GroupSettingOrElseTheTitleNamesTheProduct) {
  struct Case {
    const char* why;
    const char* diz;  // "" none
    const char* inf;
    const char* group;
  };
  const Case cases[] = {
      {"the setting, not the title", "Tolven Paint Version 2.5\n", "ID=TWP\r\nGroup=Tolven\r\n", "Tolven"},
      {"settings without Group leave the title", "Tolven Paint Version 2.5\n", "ID=TWP\r\n", "Tolven Paint"},
      {"blanks after the name", "", "Group=Tolvenwark Demo  \r\n", "Tolvenwark Demo"},
      {"cut to 31 characters just after a blank", "", "Group=Tolvenwark Demonstration Suite X\r\n",
       "Tolvenwark Demonstration Suite"},
      {"a separator", "Tolven Paint Version 2.5\n", "Group=Tolvenwark/Demo\r\n", "Tolven Paint"},
      {"a way out of the Programs folder", "Tolven Paint\n", "Group=..\\Escape\r\n", "Tolven Paint"},
      {"neither Group nor title can name it", "A: B\n", "Group=..\\Escape\r\n", ""},
      {"nothing but blanks", "Tolven Paint\n", "Group=   \r\n", "Tolven Paint"},
  };
  for (const Case& c : cases) {
    for (bool title_first : {true, false}) {
      PackageDescription description = {};
      TitleLine line;
      if (title_first && c.diz[0] != '\0') ReadTitleLine(c.diz, &line, &description);
      ReadPackageSettings(c.inf, &description);
      if (!title_first && c.diz[0] != '\0') ReadTitleLine(c.diz, &line, &description);
      EXPECT_STREQ(description.group, c.group) << c.why << (title_first ? ", title first" : ", settings first");
    }
  }
}

// Only "no" turns the notice off; the field that holds the value is large
// enough that a longer word is not cut down to it.
TEST(PackageDescription, NoticeSettingTurnsTheNoticeOffOnlyForNo) {
  struct {
    const char* inf;
    bool off_before;
    bool off;
  } const cases[] = {
      {"ID=TWP\r\nNotice=no\r\n", false, true}, {"Notice=No\r\n", false, true},
      {"Notice=nonsense\r\n", false, false},    {"Notice=yes\r\n", true, false},  // a second .INF turns it on again
      {"Notice = no\r\n", false, false},        {"ID=TWP\r\n", true, true},       // without the key, as it was
  };
  for (const auto& c : cases) {
    PackageDescription description = {};
    description.notice_off = c.off_before;
    ReadPackageSettings(c.inf, &description);
    EXPECT_EQ(description.notice_off, c.off) << c.inf;
  }
}

}  // namespace
