#include "install/place_entry.h"

#include <windows.h>

#include <cstring>

#include "common/bounded_text.h"
#include "common/entry_names.h"
#include "common/path_helpers.h"
#include "install/install_context.h"
#include "install/undo_journal.h"
#include "resources/resource_ids.h"
#include "shell/install_log.h"
#include "shell/language_list.h"
#include "shell/packed_code.h"
#include "shell/setup_state.h"

const char kUncreatableName[] = "?";

namespace {

// A language code has at most 4 characters; a longer text between the
// underscore and the full stop is part of an ordinary name.
constexpr size_t kLongestCode = 4;

// The language of a name "base_CODE.ext" whose underscore stands at
// `underscore`: true with the packed upper-case code, false when the text
// up to the first full stop is too long to be a code.
bool ReadLanguageCode(const char* underscore, uint32_t* code) {
  char text[kLongestCode + 1];
  size_t length = 0;
  for (const char* c = underscore + 1; *c != '\0' && *c != '.'; ++c) {
    if (length == kLongestCode) return false;
    text[length++] = (*c >= 'a' && *c <= 'z') ? static_cast<char>(*c - 'a' + 'A') : *c;
  }
  *code = PackCode(text, length);
  return true;
}

// False when the language list holds the entry's language unchecked. Names
// without a language, languages the list does not hold and check boxes in
// any other state install; a German one counts in `german_count`.
bool LanguageChosen(const InstallContext* context, const char* rest, int32_t* german_count) {
  size_t base_length = std::strlen(g_setup_state->lng_base_name);
  // Only where the underscore stands matters, not the base name's letters.
  if (std::strlen(rest) <= base_length || rest[base_length] != '_') return true;
  uint32_t code = 0;
  if (!ReadLanguageCode(rest + base_length, &code)) return true;
  HWND list = GetDlgItem(context->dialog, IDC_LANGUAGES);
  if (list == nullptr) return true;
  int index = FindLanguageItem(list, code);
  if (index < 0) return true;
  if (GetItemCheckImage(list, index) == kStateUnchecked) return false;
  if (code == kCodeGerman) ++*german_count;
  return true;
}

// Notes the special entries the registry and shortcut steps need.
void NoteSpecialEntry(InstallContext* context, const char* file_name) {
  struct Special {
    const char* name;
    char* field;
  };
  const Special specials[] = {
      {"LICENSE.TXT", context->license_file},
      {"ORDER.HTM", context->order_file},
      {"BESTELL.HTM", context->order_file_de},
      {"UnInst.exe", context->uninstaller},
  };
  for (const Special& special : specials) {
    if (_stricmp(file_name, special.name) == 0) {
      CopyBounded(special.field, file_name, sizeof context->license_file);
      return;
    }
  }
  // The first K...EXE is the main program, unless the package named one. A
  // name that does not fit the field is not taken: a cut name would point
  // the shortcuts at a file that does not exist.
  if ((file_name[0] == 'K' || file_name[0] == 'k') && context->main_exe[0] == '\0' &&
      EndsWithNoCase(file_name, ".EXE") && std::strlen(file_name) < sizeof context->main_exe) {
    CopyBounded(context->main_exe, file_name, sizeof context->main_exe);
  }
}

}  // namespace

bool IsForbiddenFileName(const char* file_name) { return InstallerNameFault(file_name) != kNameFine; }

int PlacementOf(const InstallContext* context, const char* name, char* path, int32_t* german_count) {
  // Root entries go to every installation; of the entries in folders only
  // those directly in the chosen edition's folder.
  const char* rest = name;
  const char* first_separator = std::strchr(name, '\\');
  if (first_separator != nullptr) {
    char folder[kPathSize];
    CopyBounded(folder, name, sizeof folder);
    CutLastComponent(folder);
    if (_stricmp(folder, context->edition_prefix) != 0) return kNotPlaced;
    rest = first_separator + 1;
  }
  // The package settings (.INF) are never installed.
  const char* file_name = name + FileNameOffset(name);
  if (!LanguageChosen(context, rest, german_count) || EndsWithNoCase(file_name, ".INF")) return kNotPlaced;
  // Every entry lands directly in the destination folder. A name that fills
  // the whole buffer may have been cut by the walk; neither it nor a path
  // that does not fit is ever written under a cut name. A name Windows
  // would change is never skipped in silence either (the description pass
  // refuses the package before this): it fails the installation.
  bool fits = std::strlen(name) < kPathSize - 1 && !IsForbiddenFileName(file_name) &&
              PathInFolder(path, context->destination, file_name);
  return fits ? kPlaced : kPlacedUncreatable;
}

int PlaceEntry(char* name, const uint8_t*, uint32_t size, void* user) {
  InstallContext* context = static_cast<InstallContext*>(user);
  char path[kPathSize];
  int placement = PlacementOf(context, name, path, &context->german_count);
  if (placement == kNotPlaced) {
    name[0] = '\0';
    return 0;
  }
  NoteSpecialEntry(context, name + FileNameOffset(name));
  // A file that cannot be kept aside (in use since the checks) is not
  // written over: the driver's create fails with -5 instead, and the run is
  // undone. A read-only one is kept aside like any other.
  if (placement == kPlacedUncreatable || !MakeWayFor(context->changes, path)) {
    CopyBounded(name, kUncreatableName, kPathSize);
    return 0;
  }
  LogLine("file %s (%lu bytes)", path, static_cast<unsigned long>(size));
  context->installed_bytes += size;
  CopyBounded(name, path, kPathSize);
  uint32_t now = GetTickCount();
  if (context->status_shown_at == 0 || now - context->status_shown_at >= kStatusInterval) {
    SetDlgItemTextA(context->dialog, IDC_STATUS, path);
    context->status_shown_at = now;
  }
  return 0;
}
