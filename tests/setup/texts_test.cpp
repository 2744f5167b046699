#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "setup/setup_state.h"
#include "setup/texts.h"

namespace {

TEST(LookupText, CopiesCutsOrEmpties) {
  struct Case {
    const LanguageTable* table;
    int16_t id;
    size_t size;
    const char* expected;
    const char* why;
  };
  const Case cases[] = {
      {&EnglishTable, 1000, 260, "Setup", "a whole text"},
      {&ItalianTable, 1043, 31, "Aggiungi collegamento sulla ba", "cut to size - 1 characters"},
      {&EnglishTable, 1000, 6, "Setup", "exactly fits"},
      {&EnglishTable, 1000, 5, "Setu", "one short"},
      {&EnglishTable, 1000, 1, "", "room for the terminator only"},
      {&GermanTable, 0, 260, "", "id 0 is never a text, not even the code record"},
      {&GermanTable, 4242, 260, "", "an id no record holds"},
      {&GermanTable, 138, 260, "Markierung &umkehren", "the last record is found"},
      {&EnglishTable, 3002, 260, "Please use bug free antivirus programs.\n\nThis program is 100% clean!",
       "line feeds kept"},
  };
  for (const Case& c : cases) {
    char out[300];
    memset(out, 'x', sizeof out);
    LookupText(c.table, c.id, out, c.size);
    EXPECT_STREQ(out, c.expected) << c.why;
    EXPECT_EQ(out[c.size], 'x') << "wrote past the size: " << c.why;
  }
}

TEST(LookupText, NoRoomLeavesTheBufferUntouched) {
  char out[8] = "keep";
  LookupText(&EnglishTable, 1000, out, 0);
  EXPECT_STREQ(out, "keep");
}

TEST(ExpandTabEscapes, TurnsEachBackslashTIntoATab) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"", ""},
      {"no escape", "no escape"},
      {"a\\tb", "a\tb"},
      {"\\t\\t", "\t\t"},
      {"\\tt", "\tt"},           // the t after the tab is plain text
      {"\\\\t", "\\\t"},         // the second backslash pairs with the t
      {"\\T and \\", "\\T and \\"},  // upper case and a lone trailing backslash stay
      {"end\\t", "end\t"},
  };
  for (const Case& c : cases) {
    char text[32];
    strcpy(text, c.in);
    ExpandTabEscapes(text);
    EXPECT_STREQ(text, c.out) << c.in;
  }
}

// A window with a few labelled child controls.
class ApplyDialogTextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.language_table = &GermanTable;
    g_setup_state = &state_;
    window_ = CreateWindowExA(0, "STATIC", "old title", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    for (int id : {99, 2, 1031, 5555}) {
      CreateWindowExA(0, "BUTTON", "old", WS_CHILD, 0, 0, 10, 10, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
  }
  void TearDown() override {
    DestroyWindow(window_);
    g_setup_state = nullptr;
  }
  std::string Text(int id) {
    char text[260] = {};
    if (id == 0) {
      GetWindowTextA(window_, text, sizeof text);
    } else {
      GetDlgItemTextA(window_, id, text, sizeof text);
    }
    return text;
  }

  SetupState state_ = {};
  HWND window_ = nullptr;
};

TEST_F(ApplyDialogTextsTest, FirstIdIsTheTitleTheRestLabelControls) {
  const int16_t ids[] = {1000, 99, 2, 5555, 0};
  ApplyDialogTexts(window_, ids);
  EXPECT_EQ(Text(0), "Installation");
  EXPECT_EQ(Text(99), "&OK");
  EXPECT_EQ(Text(2), "Abbruch");
  EXPECT_EQ(Text(5555), "") << "an id without text empties its control";
  EXPECT_EQ(Text(1031), "old") << "ids not listed are left alone";
}

TEST_F(ApplyDialogTextsTest, NothingChangesWithAnEmptyListOrNoTable) {
  const int16_t empty[] = {0, 99, 0};  // a leading 0 ends the list at once
  ApplyDialogTexts(window_, empty);
  state_.language_table = nullptr;
  const int16_t ids[] = {1000, 99, 0};
  ApplyDialogTexts(window_, ids);
  EXPECT_EQ(Text(0), "old title");
  EXPECT_EQ(Text(99), "old");
}

}  // namespace
