#include "setup/silent_install.h"

#include "archive/extract_archive.h"
#include "install/run_installation.h"
#include "resources/resource_ids.h"
#include "setup/setup_dialog.h"
#include "setup/single_instance.h"
#include "shell/install_log.h"
#include "shell/running_instances.h"
#include "shell/setup_state.h"

namespace {

// How long a silent installation lets running copies of the product close;
// with one still running then, nothing is changed.
constexpr DWORD kClosingWait = 10000;

struct HiddenDialog {
  const char* destination;
  int described;  // the description pass's result
};

INT_PTR CALLBACK HiddenDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    HiddenDialog* hidden = reinterpret_cast<HiddenDialog*>(lparam);
    hidden->described = PrepareSetupDialog(dialog, hidden->destination);
  }
  return 0;
}

int ExitCodeOf(int result) {
  switch (result) {
    case 0:
      return kExitInstalled;
    case kExtractCannotCreate:
    case kInstallNotMoved:
    case kInstallFileInUse:
    case kInstallNotWritten:
      return kExitCannotCreate;
    case kInstallNoDestination:
      return kExitUnusableDestination;
    case kInstallProductRunning:
      return kExitProductRunning;
    default:
      return kExitDamagedPackage;
  }
}

const char* const kOutcomes[] = {
    "installed",
    "wrong arguments",
    "the package is damaged or cannot be read",
    "a file could not be created or replaced, nothing was changed",
    "the destination folder cannot be used",
    "the product is running, nothing was changed",
};

int Install(HINSTANCE instance, const CommandLine& command_line) {
  if (command_line.refusal != nullptr) {
    LogLine("%s: %s", command_line.refusal, command_line.wrong_argument);
    return kExitWrongArguments;
  }
  if (!ClaimSingleInstance(false)) {
    LogLine("another run of this installer is under way");
    return kExitProductRunning;
  }
  const char* package = g_setup_state->module_path;
  // No critical-error box of the system either (a drive without its disk),
  // not even while the package is described.
  SetErrorMode(SEM_FAILCRITICALERRORS);
  // The template has no WS_VISIBLE, and nothing here shows the dialog.
  HiddenDialog hidden = {command_line.destination, kExtractNoArchive};
  HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, HiddenDialogProc,
                                   reinterpret_cast<LPARAM>(&hidden));
  if (dialog == nullptr || hidden.described != 0) {
    LogLine("package %s: cannot be read or is damaged (result %d)", package, hidden.described);
    if (dialog != nullptr) DestroyWindow(dialog);
    return kExitDamagedPackage;
  }
  LogLine("package %s: every entry checked", package);
  WaitForProductToClose(g_setup_state->window_class, kClosingWait);
  int result = RunInstallation(dialog);
  DestroyWindow(dialog);
  int code = ExitCodeOf(result);
  if (code != kExitInstalled) LogLine("installation result %d", result);
  return code;
}

}  // namespace

int RunSilentInstallation(HINSTANCE instance, const CommandLine& command_line) {
  if (!BeginSilentRun(command_line.log_path)) return kExitWrongArguments;
  int code = Install(instance, command_line);
  ReleaseSingleInstance();
  LogLine("exit code %d: %s", code, kOutcomes[code]);
  EndSilentRun();
  return code;
}
