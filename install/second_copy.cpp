#include "install/second_copy.h"

#include "common/path_helpers.h"
#include "install/registry.h"
#include "resources/resource_ids.h"
#include "shell/install_log.h"
#include "shell/messages.h"
#include "shell/setup_state.h"
#include "shell/texts.h"

namespace {

constexpr int16_t kTextSecondCopy = 3010;

// The same folder, however its end is written and whatever the case of its
// letters: Windows makes no difference.
bool SameFolder(const char* a, const char* b) {
  char left[kPathSize], right[kPathSize];
  CopyWithoutTrailingSeparators(left, a);
  CopyWithoutTrailingSeparators(right, b);
  return lstrcmpiA(left, right) == 0;
}

}  // namespace

bool AcceptSecondCopy(HWND dialog, const char* destination) {
  char earlier[kPathSize];
  ReadRegisteredUninstaller(earlier);
  // An entry whose uninstaller is gone leaves nothing behind to forget.
  if (earlier[0] == '\0' || CheckFileExists(earlier) != 0) return true;
  CutLastComponent(earlier);
  if (SameFolder(earlier, destination)) return true;

  const char* product = g_setup_state->group;
  if (IsSilentRun()) {
    LogLine("%s is already installed in %s; that copy stays there and is forgotten", product, earlier);
    return true;
  }
  char question[512];
  LookupText(g_setup_state->language_table, kTextSecondCopy, question, sizeof question);
  // wsprintf writes at most 1024 characters and the terminator: room for
  // the question's 300 or so, the name's 31 and both folders' 259 each.
  char text[1025];
  wsprintfA(text, question, product, earlier, destination);
  char title[259];
  GetDlgItemTextA(dialog, IDC_TITLE, title, sizeof title);
  return ShowMessage(dialog, text, title, MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDOK;
}
