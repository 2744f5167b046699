#include "shell/edition_choice.h"

#include <cstring>

#include "common/bounded_text.h"
#include "resources/resource_ids.h"
#include "shell/control_messages.h"
#include "shell/packed_code.h"
#include "shell/windows_family.h"

namespace {

// The editions in combo order; the index of each is what FillEditionCombo
// selects for its Windows family.
const char kClassicEdition[] = "9x/Classic Edition (Windows 9x/ME)";
const char kXpEdition[] = "xp/XP/Vista Edition";
constexpr WPARAM kClassicIndex = 0;
constexpr WPARAM kXpIndex = 1;

constexpr size_t kMaxPrefix = 3;

}  // namespace

void AddEditionItem(HWND combo, const char* edition) {
  char text[128];
  CopyBounded(text, edition, sizeof text);
  const char* slash = std::strchr(text, '/');
  if (slash == nullptr) return;
  size_t prefix_length = static_cast<size_t>(slash - text);
  if (prefix_length > kMaxPrefix) return;
  ComboAddItem(combo, slash + 1, PackCode(text, prefix_length));
}

void FillEditionCombo(HWND dialog) {
  HWND combo = GetDlgItem(dialog, IDC_EDITION);
  AddEditionItem(combo, kClassicEdition);
  AddEditionItem(combo, kXpEdition);
  ComboSetCurSel(combo, DetectWindowsFamily() ? kXpIndex : kClassicIndex);
}
