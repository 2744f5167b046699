// The three built-in tables. Texts are Windows-1252 bytes; an accented
// letter is written as a hex escape in a string piece of its own, so that a
// following hex digit cannot extend the escape.
#include "shell/language.h"

const LanguageTable EnglishTable = {{
    {0, "US"},
    {1000, "Setup"},
    {99, "&OK"},
    {2, "Cancel"},
    {1010, "Language"},
    {1031, "Destination folder"},
    {1041, "Put entry to Start Menu"},
    {1042, "Create a Desktop icon"},
    {1043, "Create a Quick Launch icon"},
    {2001, "English"},
    {2002, "German"},
    {3001, "Broken file, please download again."},
    {3000, " has been successfully installed."},
    {3002, "Please use bug free antivirus programs.\n\nThis program is 100% clean!"},
    {3003, " is running. Please close it, then press Retry."},
    {3004, "Do you really want to cancel the installation?"},
    {3005, "Checking the package..."},
    {136, "Select &all"},
    {137, "&Deselect all"},
    {138, "&Invert selection"},
    // The question before a second copy is installed elsewhere: the
    // product, the folder it is registered in, the chosen folder.
    {3010,
     "%s is already installed in %s.\n\nIf you install it into %s, the earlier copy stays where it is "
     "but is forgotten: it can then no longer be removed through the list of installed programs.\n\n"
     "Install all the same?"},
    {0, nullptr},
}};

const LanguageTable GermanTable = {{
    {0, "DE"},
    {1000, "Installation"},
    {99, "&OK"},
    {2, "Abbruch"},
    {1010, "Sprache"},
    {1031, "Zielpfad:"},
    {1041, "Programmgruppe erstellen"},
    {1042, "Desktop-Symbol anlegen"},
    {1043, "Symbol in der Schnellstartleiste anlegen"},
    {2001, "Englisch"},
    {2002, "Deutsch"},
    {3001,
     "Die Datei ist besch"
     "\xE4"
     "digt, bitte nochmal herunterladen!"},
    {3000, " wurde erfolgreich installiert."},
    {3002, "Bitte verwenden Sie fehlerfreiee Antivirus-Programme.\n\nDieses Programm ist 100% sauber!"},
    {3003,
     " wird gerade ausgef"
     "\xFC"
     "hrt. Bitte beenden Sie das Programm und klicken Sie dann auf Wiederholen."},
    {3004,
     "M"
     "\xF6"
     "chten Sie die Installation wirklich abbrechen?"},
    {3005,
     "Das Paket wird gepr"
     "\xFC"
     "ft..."},
    {136, "Alles &markieren"},
    {137, "Markierung &aufheben"},
    {138, "Markierung &umkehren"},
    {3010,
     "%s ist bereits in %s installiert.\n\nWenn Sie es nach %s installieren, bleibt die fr"
     "\xFC"
     "here "
     "Kopie erhalten, wird aber vergessen: Sie l"
     "\xE4"
     "sst sich dann nicht mehr "
     "\xFC"
     "ber die Liste "
     "der installierten Programme entfernen.\n\nTrotzdem installieren?"},
    {0, nullptr},
}};

const LanguageTable ItalianTable = {{
    {0, "IT"},
    {1000, "Installazione"},
    {99, "&OK"},
    {2, "Annulla"},
    {1010, "Lingua"},
    {1031, "Destinazione"},
    {1041, "Aggiungi collegamento nel menu Programmi"},
    {1042, "Aggiungi collegamento sul desktop"},
    {1043, "Aggiungi collegamento sulla barra di Avvio veloce"},
    {2001, "English"},
    {2002, "German"},
    {3001, "File danneggiato, esegui di nuovo il download."},
    {3000,
     " "
     "\xE8"
     " stato installato correttamente."},
    {3002, "Please use bug free antivirus programs.\n\nThis program is 100% clean!"},
    {3003,
     " "
     "\xE8"
     " in esecuzione. Chiudilo, poi premi Riprova."},
    {3004, "Vuoi davvero annullare l'installazione?"},
    {3005, "Verifica del pacchetto in corso..."},
    {136, "Seleziona tutto"},
    {137, "Deseleziona tutto"},
    {138, "Inverti selezione"},
    {3010,
     "%s "
     "\xE8"
     " gi"
     "\xE0"
     " installato in %s.\n\nSe lo installi in %s, la copia precedente rimane "
     "dov'"
     "\xE8"
     " ma viene dimenticata: non potr"
     "\xE0"
     " pi"
     "\xF9"
     " essere rimossa dall'elenco dei "
     "programmi installati.\n\nInstallare comunque?"},
    {0, nullptr},
}};

const LanguageTable* const LanguageTableList[] = {
    &EnglishTable,
    &GermanTable,
    &ItalianTable,
    nullptr,
};
