#include <windows.h>

#include <cstring>

#include "shell/language.h"

void LanguageCodeFromSystem(char* code) {
  // The machine-wide setting, compared with its sub-language: only these
  // German and Italian regions get their own tables.
  switch (GetSystemDefaultLangID()) {
    case 0x0407:  // Germany
    case 0x0807:  // Switzerland
    case 0x0C07:  // Austria
    case 0x1007:  // Luxembourg
    case 0x1407:  // Liechtenstein
      memcpy(code, "DE", 3);
      break;
    case 0x0410:  // Italy
    case 0x0810:  // Switzerland
      memcpy(code, "IT", 3);
      break;
    default:
      memcpy(code, "US", 3);
      break;
  }
}
