#include "tests/dialog/dialog_fixture.h"

#include <commctrl.h>

#include <ostream>

#include "archive/memory_buffer.h"
#include "resources/resource_ids.h"
#include "shell/language_list.h"
#include "shell/setup_state.h"

namespace {

INT_PTR CALLBACK PassiveDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

void PrintTo(const ListItem& item, std::ostream* out) {
  *out << "{\"" << item.text << "\", " << item.check_image << "}";
}

void DialogTest::SetUp() {
  InitCommonControls();
  g_setup_state = static_cast<SetupState*>(ZeroAlloc(sizeof(SetupState)));
  ASSERT_NE(g_setup_state, nullptr);
  g_setup_state->language_table = &EnglishTable;
  OpenDialog();
}

void DialogTest::OpenDialog() {
  if (dialog_ != nullptr) DestroyWindow(dialog_);
  dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETUP), nullptr, PassiveDialogProc, 0);
  ASSERT_NE(dialog_, nullptr);
  SetWindowTextA(dialog_, "Setup");
  list_ = GetDlgItem(dialog_, IDC_LANGUAGES);
  ASSERT_NE(list_, nullptr);
  // What dialog initialisation does before any item is added.
  InsertColumns(list_, LanguageColumns);
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
}

void DialogTest::TearDown() {
  if (dialog_ != nullptr) DestroyWindow(dialog_);
  MemoryBufferRelease(&g_setup_state->catalogue.names);
  FreeAndNull(g_setup_state);
}

std::vector<ListItem> DialogTest::Items() const {
  std::vector<ListItem> items;
  int count = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    char text[260] = "";
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list_, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    items.push_back({text, GetItemCheckImage(list_, index)});
  }
  return items;
}

std::string DialogTest::ControlText(int id) const {
  char text[512] = "";
  GetDlgItemTextA(dialog_, id, text, sizeof text);
  return text;
}

std::string DialogTest::WindowTitle() const {
  char text[512] = "";
  GetWindowTextA(dialog_, text, sizeof text);
  return text;
}
