#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "common/windows1252.h"
#include "shell/language.h"
#include "shell/setup_state.h"

namespace {

// UTF-8 text as the Windows-1252 bytes the tables must hold.
std::string ToWindows1252(const char* utf8) {
  std::string bytes;
  const unsigned char* at = reinterpret_cast<const unsigned char*>(utf8);
  while (*at != 0) {
    uint32_t code_point = *at++;
    if (code_point >= 0xC0) {  // two-byte sequences are all these texts use
      code_point = ((code_point & 0x1F) << 6) | (*at++ & 0x3F);
    }
    uint8_t byte = 0;
    EXPECT_TRUE(UnicodeToWindows1252(code_point, &byte)) << utf8;
    bytes.push_back(static_cast<char>(byte));
  }
  return bytes;
}

struct ExpectedText {
  int16_t id;
  const char* english;
  const char* german;
  const char* italian;
};

// Every text in table order, written independently of the tables (in UTF-8)
// so that a wrong escape or a lost byte shows.
const ExpectedText kTexts[] = {
    {1000, "Setup", "Installation", "Installazione"},
    {99, "&OK", "&OK", "&OK"},
    {2, "Cancel", "Abbruch", "Annulla"},
    {1010, "Language", "Sprache", "Lingua"},
    {1031, "Destination folder", "Zielpfad:", "Destinazione"},
    {1041, "Put entry to Start Menu", "Programmgruppe erstellen", "Aggiungi collegamento nel menu Programmi"},
    {1042, "Create a Desktop icon", "Desktop-Symbol anlegen", "Aggiungi collegamento sul desktop"},
    {1043, "Create a Quick Launch icon", "Symbol in der Schnellstartleiste anlegen",
     "Aggiungi collegamento sulla barra di Avvio veloce"},
    {2001, "English", "Englisch", "English"},
    {2002, "German", "Deutsch", "German"},
    {3001, "Broken file, please download again.", "Die Datei ist beschädigt, bitte nochmal herunterladen!",
     "File danneggiato, esegui di nuovo il download."},
    {3000, " has been successfully installed.", " wurde erfolgreich installiert.",
     " è stato installato correttamente."},
    {3002, "Please use bug free antivirus programs.\n\nThis program is 100% clean!",
     "Bitte verwenden Sie fehlerfreiee Antivirus-Programme.\n\nDieses Programm ist 100% sauber!",
     "Please use bug free antivirus programs.\n\nThis program is 100% clean!"},
    {3003, " is running. Please close it, then press Retry.",
     " wird gerade ausgeführt. Bitte beenden Sie das Programm und klicken Sie dann auf Wiederholen.",
     " è in esecuzione. Chiudilo, poi premi Riprova."},
    {3004, "Do you really want to cancel the installation?", "Möchten Sie die Installation wirklich abbrechen?",
     "Vuoi davvero annullare l'installazione?"},
    {3005, "Checking the package...", "Das Paket wird geprüft...", "Verifica del pacchetto in corso..."},
    {136, "Select &all", "Alles &markieren", "Seleziona tutto"},
    {137, "&Deselect all", "Markierung &aufheben", "Deseleziona tutto"},
    {138, "&Invert selection", "Markierung &umkehren", "Inverti selezione"},
    {3010,
     "%s is already installed in %s.\n\nIf you install it into %s, the earlier copy stays where it is but is "
     "forgotten: it can then no longer be removed through the list of installed programs.\n\nInstall all the same?",
     "%s ist bereits in %s installiert.\n\nWenn Sie es nach %s installieren, bleibt die frühere Kopie erhalten, "
     "wird aber vergessen: Sie lässt sich dann nicht mehr über die Liste der installierten Programme "
     "entfernen.\n\nTrotzdem installieren?",
     "%s è già installato in %s.\n\nSe lo installi in %s, la copia precedente rimane dov'è ma viene dimenticata: "
     "non potrà più essere rimossa dall'elenco dei programmi installati.\n\nInstallare comunque?"},
};

TEST(LanguageTables, HoldEveryTextInOrderWithItsCodeAndEnd) {
  struct Column {
    const LanguageTable* table;
    const char* code;
    const char* ExpectedText::*text;
  };
  const Column columns[] = {
      {&EnglishTable, "US", &ExpectedText::english},
      {&GermanTable, "DE", &ExpectedText::german},
      {&ItalianTable, "IT", &ExpectedText::italian},
  };
  for (const Column& column : columns) {
    const LanguageRecord* records = column.table->records;
    EXPECT_EQ(records[0].id, 0);
    EXPECT_STREQ(records[0].text, column.code);
    int index = 1;
    for (const ExpectedText& expected : kTexts) {
      const LanguageRecord& record = records[index++];
      EXPECT_EQ(record.id, expected.id) << column.code;
      ASSERT_NE(record.text, nullptr);
      EXPECT_EQ(std::string(record.text), ToWindows1252(expected.*column.text)) << column.code << " " << expected.id;
    }
    EXPECT_EQ(records[index].id, 0) << column.code;
    EXPECT_EQ(records[index].text, nullptr) << column.code;
    EXPECT_EQ(index + 1, kLanguageRecordCount);
  }
}

class SelectLanguageTest : public ::testing::Test {
 protected:
  void SetUp() override { g_setup_state = &state_; }
  void TearDown() override { g_setup_state = nullptr; }
  SetupState state_ = {};
};

TEST_F(SelectLanguageTest, PresetCodeChoosesItsTableWithoutRegardToCase) {
  struct Case {
    const char* code;
    const LanguageTable* table;
  };
  const Case cases[] = {
      {"DE", &GermanTable},  {"de", &GermanTable},  {"It", &ItalianTable},
      {"US", &EnglishTable}, {"FR", &EnglishTable},  // no French table: English
      {"D", &EnglishTable},                          // a code is matched whole, not as a prefix
  };
  for (const Case& c : cases) {
    state_ = {};
    strcpy(state_.language_code, c.code);
    SelectLanguage();
    EXPECT_EQ(state_.language_table, c.table) << c.code;
    EXPECT_STREQ(state_.language_code, c.code) << "a preset code is kept";
  }
}

// Run once per system language by ctest, which sets LC_ALL for Wine and
// names the expected language identifier and code; skipped when run alone.
TEST(SystemLanguage, ChoosesTheTableOfTheSystemDefaultLanguage) {
  const char* expected_id = getenv("TOLVEN_EXPECTED_LANGID");
  const char* expected_code = getenv("TOLVEN_EXPECTED_CODE");
  if (expected_id == nullptr || expected_code == nullptr) GTEST_SKIP() << "needs a system language from ctest";
  // Guards the test itself: Wine must have taken the language from LC_ALL.
  ASSERT_EQ(GetSystemDefaultLangID(), strtoul(expected_id, nullptr, 16));

  char code[3] = {'x', 'x', 'x'};
  LanguageCodeFromSystem(code);
  EXPECT_STREQ(code, expected_code);

  SetupState state = {};
  g_setup_state = &state;
  SelectLanguage();
  g_setup_state = nullptr;
  EXPECT_STREQ(state.language_code, expected_code);
  ASSERT_NE(state.language_table, nullptr);
  EXPECT_STREQ(state.language_table->records[0].text, expected_code);
}

}  // namespace
