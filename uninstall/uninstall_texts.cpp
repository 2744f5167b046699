// The texts are Windows-1252 bytes; an accented letter is a hex escape in a
// string piece of its own, so that a following letter cannot extend it.
#include "uninstall/uninstall_texts.h"

#include <windows.h>

#include <cstring>

#include "common/bounded_text.h"
#include "shell/language.h"

namespace {

const UninstallTexts kTexts[] = {
    {"US", "Uninstall", "Remove %1 from %2?", "%1 is in use. Close the program that uses it, then choose Retry.",
     "%1 has been removed.", " The folder %2 holds other files and stays.",
     " Some of its files are removed when Windows restarts.", "This uninstaller is damaged; nothing has been removed.",
     "%1 cannot be removed now: the temporary folder does not take a copy of the uninstaller."},
    {"DE", "Deinstallation", "%1 aus %2 entfernen?",
     "%1 wird gerade verwendet. Schlie\xDF"
     "en Sie das Programm, das die Datei verwendet, und w\xE4hlen Sie "
     "dann Wiederholen.",
     "%1 wurde entfernt.", " Der Ordner %2 enth\xE4lt weitere Dateien und bleibt erhalten.",
     " Einige Dateien werden beim n\xE4"
     "chsten Neustart von Windows entfernt.",
     "Dieses Deinstallationsprogramm ist besch\xE4"
     "digt; es wurde nichts entfernt.",
     "%1 kann jetzt nicht entfernt werden: Der tempor\xE4re Ordner nimmt keine Kopie des "
     "Deinstallationsprogramms auf."},
    {"IT", "Disinstallazione", "Rimuovere %1 da %2?",
     "%1 \xE8 in uso. Chiudi il programma che lo usa, poi scegli Riprova.", "%1 \xE8 stato rimosso.",
     " La cartella %2 contiene altri file e non viene rimossa.",
     " Alcuni file verranno rimossi al prossimo riavvio di Windows.",
     "Questo programma di disinstallazione \xE8 danneggiato; non \xE8 stato rimosso nulla.",
     "Impossibile rimuovere %1 ora: la cartella temporanea non accetta una copia del programma di "
     "disinstallazione."},
};

}  // namespace

const UninstallTexts& TextsOfSystemLanguage() {
  char code[3];
  LanguageCodeFromSystem(code);
  for (const UninstallTexts& texts : kTexts) {
    if (lstrcmpA(texts.language_code, code) == 0) return texts;
  }
  return kTexts[0];
}

void AppendComposed(char* out, size_t size, const char* pattern, const char* first, const char* second) {
  // A piece of the pattern at a time: the text up to the next "%1" or "%2",
  // then the name it stands for.
  auto is_placeholder = [](const char* at) { return at[0] == '%' && (at[1] == '1' || at[1] == '2'); };
  char piece[128];
  for (const char* at = pattern; *at != '\0';) {
    size_t length = 0;
    while (at[length] != '\0' && !is_placeholder(at + length) && length < sizeof piece - 1) ++length;
    std::memcpy(piece, at, length);
    piece[length] = '\0';
    AppendBounded(out, piece, size);
    at += length;
    if (is_placeholder(at)) {
      AppendBounded(out, at[1] == '1' ? first : second, size);
      at += 2;
    }
  }
}
