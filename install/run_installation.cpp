#include "install/run_installation.h"

#include <cstring>

#include "archive/extract_archive.h"
#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/folders.h"
#include "install/install_checks.h"
#include "install/install_context.h"
#include "install/install_progress.h"
#include "install/place_entry.h"
#include "install/registry.h"
#include "install/second_copy.h"
#include "install/shortcuts.h"
#include "install/undo_journal.h"
#include "resources/resource_ids.h"
#include "shell/control_messages.h"
#include "shell/install_log.h"
#include "shell/messages.h"
#include "shell/setup_state.h"

namespace {

constexpr int16_t kTextInstalled = 3000;
constexpr int16_t kTextBrokenFile = 3001;
constexpr int16_t kTextNotice = 3002;

// Work buffers one path and a short name long.
constexpr size_t kWorkSize = 264;

// The longest destination the edit may hold: the joined paths of the
// installed files must still fit a path buffer.
constexpr int kLongestDestination = 257;

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// Reads the destination edit into `destination` as a full path. 0 when
// there is one, else kInstallNoDestination with `destination` empty; a
// folder that is too long to hold, not fully qualified or a root is
// reported here, since it would install elsewhere or among other files.
int ReadDestination(HWND dialog, char* destination) {
  HWND edit = GetDlgItem(dialog, IDC_FOLDER);
  DWORD error = ERROR_FILENAME_EXCED_RANGE;
  destination[0] = '\0';
  if (GetWindowTextLengthA(edit) <= kLongestDestination) {
    GetWindowTextA(edit, destination, kLongestDestination + 1);
    if (destination[0] == '\0') return kInstallNoDestination;
    if (!IsFullyQualifiedPath(destination)) {
      // Anything else would be taken from the program's current drive or
      // folder, which the user neither sees nor chose.
      error = ERROR_INVALID_NAME;
    } else if (MakeFullPath(destination) == 0) {
      // Resolved "." and "..", every separator a backslash. A drive or a
      // share as a whole is refused: the product's files would lie among
      // everything else there, and its uninstaller would remove them from it.
      if (!IsRootFolder(destination)) return 0;
      error = ERROR_DIRECTORY;
    }
  }
  ShowSystemError(dialog, error, nullptr);
  destination[0] = '\0';
  return kInstallNoDestination;
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

// One installing pass into context->destination. A write that lost bytes
// gives kInstallNotWritten with the system's reason in `*error`; a pass
// the user stopped, kInstallCancelled.
int RunPass(InstallContext* context, DWORD* error) {
  PassProgress progress = {ReportInstallProgress, &context->progress, 0};
  uint32_t failure = kFailureNone;
  int result = ExtractArchive(g_setup_state->module_path, PlaceEntry, context, &failure, &progress);
  if (failure == kFailureStopped) return kInstallCancelled;
  if (failure == kFailureOutput) {
    // A write cut short without a reason is a disk that took no more: so
    // Wine reports a full disk, where Windows says ERROR_DISK_FULL.
    *error = progress.output_error != ERROR_SUCCESS ? progress.output_error : ERROR_DISK_FULL;
    return kInstallNotWritten;
  }
  return result;
}

// Starts the record of the changes to `folder`, which is made when it is
// missing, and moves its PSAPI.DLL aside. False, with ERROR_CANNOT_MAKE in
// `*error`, when the folder cannot be made or its record not be written.
bool BeginChangesIn(InstallContext* context, const char* folder, DWORD* error) {
  if (!BeginChanges(&context->undo, folder)) {
    *error = ERROR_CANNOT_MAKE;
    return false;
  }
  MoveAsidePsapi(&context->undo);
  return true;
}

// Writes the chosen files into the user's folder, keeping aside what they
// replace; a pass that fails is undone. A file that cannot be created there
// sends the whole pass once more into a fresh temporary folder, whose
// files are then moved into place the same way. Returns 0 with the changes
// in context->undo, to be committed; the failing pass's result; or an
// InstallResult with the system's `*error` and the path it concerns in
// `failed` (kPathSize bytes, empty for none). context->destination is the
// user's folder again on return.
int InstallFiles(InstallContext* context, DWORD* error, char* failed) {
  // Made before anything is unpacked: a folder that cannot be made (a
  // missing drive) would otherwise fail only after a detour through the
  // temporary folder.
  if (!BeginChangesIn(context, context->destination, error)) return kInstallNoDestination;
  context->changes = &context->undo;
  int result = RunPass(context, error);
  if (result == kExtractOk) return result;
  UndoChanges(&context->undo);
  if (result != kExtractCannotCreate || !UseTemporaryDestination(context)) return result;

  // Nothing in the temporary folder needs to be put back.
  context->changes = nullptr;
  context->status_shown_at = 0;  // the retry shows its first file at once
  context->installed_bytes = 0;  // and counts every file again
  result = RunPass(context, error);
  if (result == kExtractOk) {
    // A move of the temporary folder itself would put it inside the user's
    // folder, which exists by now: the files are moved one by one.
    if (!BeginChangesIn(context, context->final_destination, error)) {
      result = kInstallNotMoved;
    } else {
      *error = MoveFilesInto(context->destination, &context->undo, failed);
      if (*error != ERROR_SUCCESS) {
        result = *error == ERROR_CANCELLED ? kInstallCancelled : kInstallNotMoved;
        UndoChanges(&context->undo);
      }
    }
  }
  CopyBounded(context->destination, context->final_destination, sizeof context->destination);
  return result;
}

// A file that could not be created or written: the system's sentence for
// it, under the file's name when one is known. A damaged package: text 3001
// under the setup file's name. Nothing for what was said already, or was
// the user's own choice.
void ReportFailure(HWND dialog, int result, DWORD error, const char* failed) {
  if (result == kInstallProductRunning || result == kInstallFileInUse || result == kInstallCancelled) return;
  if (result == kExtractCannotCreate) error = ERROR_CANNOT_MAKE;
  if (error != ERROR_SUCCESS) {
    ShowSystemError(dialog, error, failed[0] != '\0' ? failed : nullptr);
  } else {
    ShowStringMessage(dialog, kTextBrokenFile, g_setup_state->module_path, MB_ICONERROR);
  }
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

}  // namespace

int RunInstallation(HWND dialog) {
  SetupState* state = g_setup_state;

  // On every press, before anything is checked, unless the package turns
  // it off; a silent installation has no one to tell.
  if (!IsSilentRun() && !state->notice_off) {
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
  // Asked before anything is written, and the dialog stays open for
  // another folder.
  if (!AcceptSecondCopy(dialog, context.destination)) return kInstallNotConfirmed;

  HCURSOR previous_cursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  // No critical-error boxes of the system from here on (a missing disk in
  // a drive): the pass reports its own failures.
  SetErrorMode(SEM_FAILCRITICALERRORS);
  BeginInstallProgress(&context.progress, dialog);

  DWORD error = ERROR_SUCCESS;
  char failed[kPathSize] = "";
  int result = CheckBeforeChanging(&context, &error);
  if (result == 0) result = InstallFiles(&context, &error, failed);
  if (result == 0) {
    SaveInstallPath(context.destination);
    if (context.uninstaller[0] != '\0') WriteUninstallEntry(&context);
    CreateShortcuts(dialog, &context);
    CommitChanges(&context.undo);
  }
  // Nothing of a run stays in the temporary folder, so that the next press
  // of OK does not add another numbered folder.
  if (context.temp_folder[0] != '\0') ShellDelete(context.temp_folder);
  SetDlgItemTextA(dialog, IDC_STATUS, "");
  EndInstallProgress(&context.progress);
  SetCursor(previous_cursor);
  if (result != 0) {
    ReportFailure(dialog, result, error, failed);
    return result;
  }
  ShowDialogMessage(dialog, state->group, kTextInstalled, MB_ICONINFORMATION);
  return 0;
}
