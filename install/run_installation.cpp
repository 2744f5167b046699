#include "install/run_installation.h"

#include <cstring>

#include "archive/extract_archive.h"
#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/folders.h"
#include "install/install_log.h"
#include "install/install_context.h"
#include "install/place_entry.h"
#include "install/registry.h"
#include "install/shortcuts.h"
#include "resources/resource_ids.h"
#include "setup/control_messages.h"
#include "setup/messages.h"
#include "setup/setup_state.h"
#include "setup/texts.h"

namespace {

constexpr int16_t kTextInstalled = 3000;
constexpr int16_t kTextBrokenFile = 3001;
constexpr int16_t kTextNotice = 3002;

// The system's sentence for a folder or file that cannot be created.
constexpr DWORD kErrorCannotMake = 82;

// Work buffers one path and a short name long.
constexpr size_t kWorkSize = 264;

// The longest destination the edit may hold: the joined paths of the
// installed files must still fit a path buffer.
constexpr int kLongestDestination = 257;

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// Reads the destination edit into `destination` as a full path. 0 when
// there is one, else kInstallNoDestination; a folder that is too long to
// hold or to make full is reported here, since cutting it would install
// elsewhere.
int ReadDestination(HWND dialog, char* destination) {
  HWND edit = GetDlgItem(dialog, IDC_FOLDER);
  destination[0] = '\0';
  if (GetWindowTextLengthA(edit) > kLongestDestination) {
    ShowSystemError(dialog, ERROR_FILENAME_EXCED_RANGE, nullptr);
    return kInstallNoDestination;
  }
  GetWindowTextA(edit, destination, kLongestDestination + 1);
  if (destination[0] == '\0') return kInstallNoDestination;
  // A relative folder would be taken from the program's current folder,
  // which the user neither sees nor chose.
  if (MakeFullPath(destination) != 0) {
    ShowSystemError(dialog, ERROR_FILENAME_EXCED_RANGE, nullptr);
    destination[0] = '\0';
    return kInstallNoDestination;
  }
  return 0;
}

// Points the context at a fresh numbered folder in the temporary folder
// (followed by the destination's last component) and keeps the user's
// folder in final_destination. False when no such folder can be named.
bool UseTemporaryDestination(InstallContext* context) {
  if (MakeTempFolderName(context->temp_folder, sizeof context->temp_folder) != 0) return false;
  char temporary[kWorkSize];
  CopyBounded(temporary, context->temp_folder, sizeof temporary);
  // Empty for a destination with a trailing separator: the numbered folder
  // itself is then the temporary destination.
  const char* last = context->destination + FileNameOffset(context->destination);
  JoinPath(temporary, last, sizeof temporary);
  if (std::strlen(temporary) >= sizeof context->destination) {
    context->temp_folder[0] = '\0';
    return false;
  }
  CopyBounded(context->final_destination, context->destination, sizeof context->final_destination);
  CopyBounded(context->destination, temporary, sizeof context->destination);
  CreateFolderPath(context->destination);
  LogLine("cannot create a file in %s; installing through %s", context->final_destination, context->destination);
  return true;
}

// The first plain file in `folder` into `name`; false when none is left.
bool FindFirstFileIn(const char* folder, char* name, size_t size) {
  char pattern[kPathSize];
  CopyBounded(pattern, folder, sizeof pattern);
  if (JoinPath(pattern, "*", sizeof pattern) != kTextWhole) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool any = false;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      any = CopyBounded(name, found.cFileName, size) == kTextWhole;
      break;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return any;
}

// Moves the files that the pass wrote into the temporary destination into
// the user's folder, replacing files of the same names, and removes the
// emptied temporary destination. The installing pass writes files only, so
// there are no subfolders to carry.
//
// A move of the temporary folder itself would not do: the user's folder
// exists by now, so the shell puts the moved folder inside it and reports
// success over an installation that is not there. A file that cannot be
// replaced (held open by a running program, a folder of that name) is
// reported with the system's reason, the file's name as caption, and
// leaves the rest where it is: kInstallNotMoved.
int MoveIntoFinalFolder(HWND dialog, const char* from, const char* to) {
  char name[kPathSize];
  // Each file found is moved away before the next search, so the listing
  // never runs over a folder that changes under it.
  while (FindFirstFileIn(from, name, sizeof name)) {
    char source[kPathSize];
    char target[kPathSize];
    CopyBounded(source, from, sizeof source);
    CopyBounded(target, to, sizeof target);
    DWORD error = ERROR_SUCCESS;
    if (JoinPath(source, name, sizeof source) != kTextWhole || JoinPath(target, name, sizeof target) != kTextWhole) {
      error = ERROR_FILENAME_EXCED_RANGE;
    } else if (!MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
      error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
      ShowSystemError(dialog, error, target);
      return kInstallNotMoved;
    }
    LogLine("moved %s", target);
  }
  RemoveDirectoryA(from);
  return 0;
}

// The chosen shortcuts. Only with a main program: they all point at it.
void CreateShortcuts(HWND dialog, const InstallContext* context) {
  if (context->main_exe[0] == '\0') return;
  if (IsChecked(dialog, IDC_START_MENU)) CreateStartMenuGroup(dialog, context);
  char target[kWorkSize];
  CopyBounded(target, context->destination, sizeof target);
  JoinPath(target, context->main_exe, sizeof target);
  if (IsChecked(dialog, IDC_DESKTOP_ICON)) CreateDesktopShortcut(target, g_setup_state->group);
  if (IsChecked(dialog, IDC_QUICK_LAUNCH)) CreateQuickLaunchShortcut(target, g_setup_state->group);
}

void ShowInstalled(HWND dialog) {
  char text[kWorkSize];
  CopyBounded(text, g_setup_state->group, sizeof text);
  size_t length = std::strlen(text);
  if (length + 10 < sizeof text) LookupText(g_setup_state->language_table, kTextInstalled, text + length, sizeof text - length);
  char caption[kPathSize];
  GetWindowTextA(dialog, caption, sizeof caption);
  ShowMessage(dialog, text, caption, MB_ICONINFORMATION);
}

}  // namespace

int RunInstallation(HWND dialog) {
  SetupState* state = g_setup_state;

  // On every press, before anything is checked; a silent installation
  // has no one to tell.
  if (!IsSilentRun()) {
    char title[259];
    GetDlgItemTextA(dialog, IDC_TITLE, title, sizeof title);
    ShowStringMessage(dialog, kTextNotice, title, MB_ICONEXCLAMATION | MB_OK);
  }

  InstallContext context;
  std::memset(&context, 0, sizeof context);
  context.dialog = dialog;
  CopyBounded(context.main_exe, state->exe_name, sizeof context.main_exe);

  if (ReadDestination(dialog, context.destination) != 0) return kInstallNoDestination;
  HWND editions = GetDlgItem(dialog, IDC_EDITION);
  if (editions == nullptr) return -1;
  LRESULT selection = ComboGetCurSel(editions);
  if (selection < 0) selection = 0;
  uint32_t prefix = static_cast<uint32_t>(ComboGetItemData(editions, static_cast<WPARAM>(selection)));
  std::memcpy(context.edition_prefix, &prefix, sizeof prefix);

  HCURSOR previous_cursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  // No critical-error boxes of the system from here on (a missing disk in
  // a drive): the pass reports its own failures.
  SetErrorMode(SEM_FAILCRITICALERRORS);

  CreateFolderPath(context.destination);
  MoveAsidePsapi(context.destination);
  int result = ExtractArchive(state->module_path, PlaceEntry, &context);

  // A file that cannot be created in the user's folder: once more through a
  // fresh temporary folder, whose files are then moved into place.
  if (result == kExtractCannotCreate && UseTemporaryDestination(&context)) {
    result = ExtractArchive(state->module_path, PlaceEntry, &context);
  }

  if (result != kExtractOk) {
    SetCursor(previous_cursor);
    if (result == kExtractCannotCreate) {
      ShowSystemError(dialog, kErrorCannotMake, nullptr);
    } else {
      ShowStringMessage(dialog, kTextBrokenFile, state->module_path, MB_ICONERROR);
    }
    return result;
  }

  SetDlgItemTextA(dialog, IDC_STATUS, "");
  if (context.temp_folder[0] != '\0') {
    int moved = MoveIntoFinalFolder(dialog, context.destination, context.final_destination);
    CopyBounded(context.destination, context.final_destination, sizeof context.destination);
    if (moved != 0) {
      SetCursor(previous_cursor);
      return moved;
    }
  }

  SaveInstallPath(context.destination);
  if (context.uninstaller[0] != '\0') {
    char uninstaller[kWorkSize];
    CopyBounded(uninstaller, context.destination, sizeof uninstaller);
    JoinPath(uninstaller, context.uninstaller, sizeof uninstaller);
    WriteUninstallEntry(uninstaller);
  }
  CreateShortcuts(dialog, &context);
  if (context.temp_folder[0] != '\0') ShellDelete(context.temp_folder);

  SetCursor(previous_cursor);
  ShowInstalled(dialog);
  return 0;
}
