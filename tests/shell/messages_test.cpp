#include <windows.h>

#include <gtest/gtest.h>

#include "shell/install_log.h"
#include "shell/messages.h"
#include "shell/setup_state.h"
#include "tests/setup/message_box_watcher.h"
#include "tests/support/scratch.h"

namespace {

// The caption is the file-name part of its source; the result is the
// button pressed; no text shows no box and gives 2.
TEST(ShowMessage, CaptionResultAndNothingWithoutText) {
  struct Case {
    const char* text;
    const char* source;
    UINT type;
    int answer;
    const char* caption;  // null: no box
  };
  const Case cases[] = {
      {"Hello", "C:\\Downloads\\Setup.exe", MB_OK, IDOK, "Setup.exe"},
      {"Hello", "Z:/tmp/x/setup file.exe", MB_OK, IDOK, "setup file.exe"},  // forward slashes are separators too
      {"Hello", "Plain caption", MB_OK, IDOK, "Plain caption"},
      {"Hello", "C:\\Downloads\\", MB_OK, IDOK, "C:\\Downloads\\"},  // nothing after the separator: whole
      {"Continue?", "Q", MB_YESNO, IDNO, "Q"},
      {"", "caption", MB_OK, 2, nullptr},
      {nullptr, "caption", MB_OK, 2, nullptr},
  };
  for (const Case& c : cases) {
    MessageBoxWatcher watcher(c.answer);
    EXPECT_EQ(ShowMessage(nullptr, c.text, c.source, c.type), c.answer) << c.source;
    const auto& seen = watcher.Finish();
    ASSERT_EQ(seen.size(), c.caption != nullptr ? 1u : 0u) << c.source;
    if (c.caption == nullptr) continue;
    EXPECT_EQ(seen[0].caption, c.caption);
    EXPECT_EQ(seen[0].text, c.text);
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
