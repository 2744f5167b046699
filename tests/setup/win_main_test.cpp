// Runs the real WinMain on the program's own resources, with a stand-in
// dialog procedure that records the state it was started with and closes at
// once.
#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

#include "setup/setup_dialog.h"
#include "shell/setup_state.h"

namespace {

bool g_dialog_ran = false;
SetupState g_state_at_dialog;

}  // namespace

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  g_dialog_ran = true;
  if (g_setup_state != nullptr) g_state_at_dialog = *g_setup_state;
  EndDialog(dialog, 0);
  return TRUE;
}

namespace {

TEST(WinMain, RunsTheDialogWithTheStartUpFieldsAndTearsDown) {
  g_dialog_ran = false;
  memset(&g_state_at_dialog, 0, sizeof g_state_at_dialog);
  EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>("ignored arguments"), SW_SHOW), 0);
  ASSERT_TRUE(g_dialog_ran);
  EXPECT_EQ(g_setup_state, nullptr) << "the pointer is cleared after tear-down";

  EXPECT_NE(g_state_at_dialog.icon, nullptr);
  EXPECT_EQ(g_state_at_dialog.icon, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)));
  char own_path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, own_path, sizeof own_path);
  EXPECT_STREQ(g_state_at_dialog.module_path, own_path);
  ASSERT_NE(g_state_at_dialog.language_table, nullptr);
  EXPECT_STREQ(g_state_at_dialog.language_code, g_state_at_dialog.language_table->records[0].text);
  // The description pass has not run: its fields are still empty.
  EXPECT_STREQ(g_state_at_dialog.package_id, "");
  EXPECT_STREQ(g_state_at_dialog.group, "");
  EXPECT_STREQ(g_state_at_dialog.window_class, "");
  EXPECT_STREQ(g_state_at_dialog.exe_name, "");
  EXPECT_STREQ(g_state_at_dialog.lng_base_name, "");
}

// With /S no dialog runs, and the exit code tells the outcome: here the
// test program itself stands in for the installer, and holds no package.
TEST(WinMain, SilentRunsShowNoDialogAndEndWithTheirExitCode) {
  struct Case {
    const char* arguments;
    int exit_code;
    const char* why;
  };
  const Case cases[] = {
      {"/S /NOW", 1, "an argument that is not understood"},
      {"/NOW", 1, "a switch not understood, without /S"},
      {"/D=C:\\x /S", 1, "/S inside the folder of /D="},
      {"/S /LOG=", 1, "a log without a file"},
      {"/S /LOG=Z:\\no such folder\\a.log", 1, "a log that cannot be created"},
      {"/s", 2, "no package in the program's own file"},
      {"-QUIET", 2, "another installer's spelling"},
  };
  for (const Case& c : cases) {
    g_dialog_ran = false;
    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(c.arguments), SW_SHOW), c.exit_code)
        << c.why;
    EXPECT_FALSE(g_dialog_ran) << c.why;
    EXPECT_EQ(g_setup_state, nullptr) << c.why;
  }
}

}  // namespace
