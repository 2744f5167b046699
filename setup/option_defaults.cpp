#include "setup/option_defaults.h"

#include <commctrl.h>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/registry.h"
#include "install/shell_folders.h"
#include "resources/resource_ids.h"
#include "shell/language_list.h"
#include "shell/packed_code.h"
#include "shell/setup_state.h"

void FillDestinationAndOptions(HWND dialog, const char* destination) {
  char folder[kPathSize];
  if (destination != nullptr && destination[0] != '\0') {
    CopyBounded(folder, destination, sizeof folder);
  } else {
    GetDefaultDestination(folder, sizeof folder);
  }
  SetDlgItemTextA(dialog, IDC_FOLDER, folder);
  // An empty proposal does not exist either, so it counts as new.
  if (CheckFileExists(folder) == 0) {
    UncheckMissingLanguages(dialog, folder);
    return;
  }
  CheckDlgButton(dialog, IDC_START_MENU, BST_CHECKED);
  CheckDlgButton(dialog, IDC_DESKTOP_ICON, BST_CHECKED);
  if (HasQuickLaunchFolder()) {
    CheckDlgButton(dialog, IDC_QUICK_LAUNCH, BST_CHECKED);
  } else {
    ShowWindow(GetDlgItem(dialog, IDC_QUICK_LAUNCH), SW_HIDE);
  }
}

void UncheckMissingLanguages(HWND dialog, const char* folder) {
  HWND list = GetDlgItem(dialog, IDC_LANGUAGES);
  if (list == nullptr) return;
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    uint32_t code = GetItemCode(list, index);
    // The built-in languages are part of every installation.
    if (code == kCodeEnglish || code == kCodeGerman) continue;
    char code_text[5];
    UnpackCode(code, code_text);
    char path[kPathSize];
    MakeLanguageFilePath(folder, code_text, path, sizeof path);
    if (CheckFileExists(path) != 0) SetItemCheckImage(list, index, kStateUnchecked);
  }
}

void MakeLanguageFilePath(const char* folder, const char* code, char* out, size_t size) {
  CopyBounded(out, folder, size);
  AddTrailingSeparator(out, size);
  AppendBounded(out, g_setup_state->lng_base_name, size);
  AppendBounded(out, "_", size);
  AppendBounded(out, code, size);
  AppendBounded(out, ".LNG", size);
}
