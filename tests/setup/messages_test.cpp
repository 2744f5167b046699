#include <windows.h>

#include <gtest/gtest.h>

#include "install/install_log.h"
#include "setup/messages.h"
#include "setup/setup_state.h"
#include "tests/setup/message_box_watcher.h"
#include "tests/support/scratch.h"

namespace {

TEST(ShowMessage, CaptionIsTheFileNamePartOfItsSource) {
  struct Case {
    const char* source;
    const char* caption;
  };
  const Case cases[] = {
      {"C:\\Downloads\\Setup.exe", "Setup.exe"},
      {"Z:/tmp/x/setup file.exe", "setup file.exe"},  // forward slashes are separators too
      {"Plain caption", "Plain caption"},
      {"C:\\Downloads\\", "C:\\Downloads\\"},  // nothing after the separator: shown whole
  };
  // Each box costs Wine about two seconds: keep this table short.
  for (const Case& c : cases) {
    MessageBoxWatcher watcher;
    EXPECT_EQ(ShowMessage(nullptr, "Hello", c.source, MB_OK), IDOK);
    const auto& seen = watcher.Finish();
    ASSERT_EQ(seen.size(), 1u) << c.source;
    EXPECT_EQ(seen[0].caption, c.caption);
    EXPECT_EQ(seen[0].text, "Hello");
  }
}

// A silent installation has no one to answer a box: the text goes to the
// log instead, and the box counts as answered with OK.
TEST(ShowMessage, SilentRunsLogTheTextAndShowNoBox) {
  std::string log = ScratchFolder() + "silent.log";
  ASSERT_TRUE(BeginSilentRun(log.c_str()));
  MessageBoxWatcher watcher;
  EXPECT_EQ(ShowMessage(nullptr, "Cannot create\r\n", "C:\\Downloads\\Setup.exe", MB_OK), IDOK);
  EXPECT_EQ(ShowMessage(nullptr, "", "Setup.exe", MB_OK), IDCANCEL) << "still nothing for no text";
  EndSilentRun();
  EXPECT_EQ(watcher.Finish().size(), 0u);
  EXPECT_EQ(ReadWholeFile(log), "message [Setup.exe] Cannot create\r\n");
}

TEST(ShowMessage, ReturnsTheButtonPressed) {
  MessageBoxWatcher watcher(IDNO);
  EXPECT_EQ(ShowMessage(nullptr, "Continue?", "Q", MB_YESNO), IDNO);
  EXPECT_EQ(watcher.Finish().size(), 1u);
}

TEST(ShowMessage, EmptyOrMissingTextShowsNothingAndGives2) {
  MessageBoxWatcher watcher;
  EXPECT_EQ(ShowMessage(nullptr, "", "caption", MB_OK), 2);
  EXPECT_EQ(ShowMessage(nullptr, nullptr, "caption", MB_OK), 2);
  EXPECT_TRUE(watcher.Finish().empty());
}

TEST(ShowStringMessage, ShowsTheTextOfTheSelectedTable) {
  SetupState state = {};
  state.language_table = &GermanTable;
  g_setup_state = &state;
  {
    MessageBoxWatcher watcher;
    EXPECT_EQ(ShowStringMessage(nullptr, 3002, "C:\\x\\Setup.exe", MB_ICONEXCLAMATION), IDOK);
    const auto& seen = watcher.Finish();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Setup.exe");
    // The empty line between the two sentences survives into the box.
    EXPECT_EQ(seen[0].text,
              "Bitte verwenden Sie fehlerfreiee Antivirus-Programme.\n\nDieses Programm ist 100% sauber!");
  }
  {
    MessageBoxWatcher watcher;
    EXPECT_EQ(ShowStringMessage(nullptr, 4242, "caption", MB_OK), 2) << "an id without text shows nothing";
    EXPECT_TRUE(watcher.Finish().empty());
  }
  g_setup_state = nullptr;
}

}  // namespace
