#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "shell/setup_state.h"
#include "shell/texts.h"
#include "tests/dialog/dialog_fixture.h"

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
      {"\\tt", "\tt"},               // the t after the tab is plain text
      {"\\\\t", "\\\t"},             // the second backslash pairs with the t
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

// On the program's own dialog, in German.
class ApplyDialogTextsTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    g_setup_state->language_table = &GermanTable;
    for (int id : {IDC_INSTALL, IDCANCEL, IDC_FOLDER_LABEL, IDC_STATUS}) SetDlgItemTextA(dialog_, id, "old");
  }
};

TEST_F(ApplyDialogTextsTest, FirstIdIsTheTitleTheRestLabelControls) {
  const int16_t ids[] = {1000, IDC_INSTALL, IDCANCEL, IDC_STATUS, 0};
  ApplyDialogTexts(dialog_, ids);
  EXPECT_EQ(WindowTitle(), "Installation");
  EXPECT_EQ(ControlText(IDC_INSTALL), "&OK");
  EXPECT_EQ(ControlText(IDCANCEL), "Abbruch");
  EXPECT_EQ(ControlText(IDC_STATUS), "") << "an id without text empties its control";
  EXPECT_EQ(ControlText(IDC_FOLDER_LABEL), "old") << "ids not listed are left alone";
}

TEST_F(ApplyDialogTextsTest, NothingChangesWithAnEmptyListOrNoTable) {
  const int16_t empty[] = {0, IDC_INSTALL, 0};  // a leading 0 ends the list at once
  ApplyDialogTexts(dialog_, empty);
  g_setup_state->language_table = nullptr;
  const int16_t ids[] = {1000, IDC_INSTALL, 0};
  ApplyDialogTexts(dialog_, ids);
  EXPECT_EQ(WindowTitle(), "Setup");
  EXPECT_EQ(ControlText(IDC_INSTALL), "old");
}

}  // namespace
