#include "setup/setup_dialog.h"

#include <commctrl.h>
#include <shlobj.h>

#include "archive/memory_buffer.h"
#include "archive/package_seal.h"
#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "resources/resource_ids.h"
#include "setup/checking_window.h"
#include "setup/option_defaults.h"
#include "setup/package_description.h"
#include "setup/single_instance.h"
#include "shell/edition_choice.h"
#include "shell/install_log.h"
#include "shell/language_list.h"
#include "shell/messages.h"
#include "shell/running_instances.h"
#include "shell/setup_state.h"
#include "shell/texts.h"

const int16_t DialogTextIds[] = {IDD_SETUP,      IDC_INSTALL,      IDCANCEL,         IDC_FOLDER_LABEL,
                                 IDC_START_MENU, IDC_DESKTOP_ICON, IDC_QUICK_LAUNCH, 0};

const int16_t ContextMenuIds[] = {IDM_CHECK_ALL, IDM_UNCHECK_ALL, IDM_INVERT_CHECKS, 0};

namespace {

constexpr UINT kListExtendedStyles = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;

// Closing runs on its own thread with its own copy of the class name, which
// stays valid after the dialog has ended and SetupState is gone. Nothing
// waits for the thread: what counts is whether the windows went.
void StartClosingRunningInstances(const char* window_class) {
  char* name = static_cast<char*>(ZeroAlloc(sizeof g_setup_state->window_class));
  if (name == nullptr) return;
  CopyBounded(name, window_class, sizeof g_setup_state->window_class);
  HANDLE thread = CreateThread(nullptr, 0, CloseRunningInstances, name, 0, nullptr);
  if (thread == nullptr) {
    FreeStorage(name);
  } else {
    CloseHandle(thread);
  }
}

}  // namespace

void OnInitSetupDialog(HWND dialog) {
  if (PrepareSetupDialog(dialog, nullptr) != 0) {
    ShowStringMessage(dialog, 3001, g_setup_state->module_path, MB_ICONERROR);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    return;
  }
  PublishDialog(dialog);
}

int PrepareSetupDialog(HWND dialog, const char* destination) {
  SetupState* state = g_setup_state;
  HWND list = GetDlgItem(dialog, IDC_LANGUAGES);
  CenterOnDesktop(dialog);
  SetClassLongA(dialog, GCL_HICON, static_cast<LONG>(reinterpret_cast<LONG_PTR>(state->icon)));
  ApplyDialogTexts(dialog, DialogTextIds);
  if (list == nullptr) return 0;

  InsertColumns(list, LanguageColumns);
  SetColumnTexts(list, LanguageColumns);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kListExtendedStyles);
  FillEditionCombo(dialog);
  AddBuiltInLanguages(list);

  // The whole archive is checked before the dialog first shows: against
  // its seal, which also sees a package cut between two blocks or with
  // blocks added, then entry by entry. The checking window follows both
  // reads; a silent run shows no window, not even this one.
  CheckingWindow checking = {};
  checking.later_percent = 100 - kSealShare;
  PassProgress progress = {ReportChecking, &checking, 0};
  PassProgress* shown = IsSilentRun() ? nullptr : &progress;
  int result = CheckPackageSeal(state->module_path, nullptr, shown);
  if (result == kSealHolds) checking.first_percent = kSealShare;
  checking.later_percent = 0;
  if (SealLetsEntriesBeRead(result)) result = DescribePackage(dialog, state->module_path, shown);
  CloseCheckingWindow(&checking);

  if (state->window_class[0] == '\0') AppendBounded(state->window_class, state->group, sizeof state->window_class);
  if (state->window_class[0] != '\0') StartClosingRunningInstances(state->window_class);
  FillDestinationAndOptions(dialog, destination);
  return result;
}

void CenterOnDesktop(HWND window) {
  RECT desktop = {};
  RECT own = {};
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window, &own);
  // Arithmetic shifts: a window larger than the desktop goes to a negative
  // place, rounded down.
  int x = ((desktop.right - desktop.left) - (own.right - own.left)) >> 1;
  int y = ((desktop.bottom - desktop.top) - (own.bottom - own.top)) >> 1;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowListContextMenu(HWND dialog) {
  // The mouse position also for a menu asked for from the keyboard.
  POINT cursor = {};
  GetCursorPos(&cursor);
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  for (const int16_t* id = ContextMenuIds; *id != 0; ++id) {
    char text[63];
    LookupText(g_setup_state->language_table, *id, text, sizeof text);
    if (text[0] != '\0') AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(*id), text);
  }
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, dialog, nullptr);
  DestroyMenu(menu);
}

namespace {

// The shell's item list for `path`, or null when the shell cannot parse it.
LPITEMIDLIST ParseFolder(IShellFolder* desktop, HWND owner, const char* path) {
  WCHAR wide[kPathSize];
  ToWide(wide, path, kPathSize);
  LPITEMIDLIST items = nullptr;
  ULONG eaten = 0;
  if (FAILED(desktop->ParseDisplayName(owner, nullptr, wide, &eaten, &items, nullptr))) return nullptr;
  return items;
}

}  // namespace

void BrowseForDestination(HWND dialog, int edit_id) {
  char path[kPathSize];
  GetDlgItemTextA(dialog, edit_id, path, sizeof path);

  BROWSEINFOA browse = {};
  browse.hwndOwner = dialog;
  browse.ulFlags = BIF_RETURNONLYFSDIRS;

  // Preselect the folder in the edit, or its parent when the folder itself
  // does not exist yet.
  IMalloc* allocator = nullptr;
  IShellFolder* desktop = nullptr;
  LPITEMIDLIST start = nullptr;
  if (path[0] != '\0' && SUCCEEDED(SHGetMalloc(&allocator)) && SUCCEEDED(SHGetDesktopFolder(&desktop))) {
    MakeFullPath(path);
    start = ParseFolder(desktop, dialog, path);
    if (start == nullptr) {
      CutLastComponent(path);
      start = ParseFolder(desktop, dialog, path);
    }
    if (start != nullptr) {
      browse.lpfn = BrowseCallback;
      browse.lParam = reinterpret_cast<LPARAM>(start);
    }
  }

  LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
  if (chosen != nullptr) {
    char folder[kPathSize];
    if (SHGetPathFromIDListA(chosen, folder)) SetDlgItemTextA(dialog, edit_id, folder);
    IMalloc* chosen_allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&chosen_allocator))) {
      chosen_allocator->Free(chosen);
      chosen_allocator->Release();
    }
  }

  if (desktop != nullptr) desktop->Release();
  if (allocator != nullptr) {
    if (start != nullptr) allocator->Free(start);
    allocator->Release();
  }
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  // The data is an item list, not a path: hence FALSE.
  if (message == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONA, FALSE, data);
  return 0;
}
