// tolven_demo SETUP.EXE [SIGNAL_FOLDER]
// Installs a product as a user would: starts the installer, prints what its
// dialog shows, presses OK with the proposed choices and every shortcut,
// answers and prints each message box, and then prints what the
// installation made: the files with their sizes, the registry values and
// the shortcuts with their targets. With SIGNAL_FOLDER it writes
// "dialog-ready" there once the dialog is shown and waits (up to 20 s) for
// "dialog-shot" before pressing OK, so that a script can take a picture.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "resources/resource_ids.h"
#include "tests/dialog/setup_probe.h"
#include "tests/e2e/installed_product.h"

namespace {

const char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool InFolder(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && lstrcmpiA(path.substr(0, folder.size()).c_str(), folder.c_str()) == 0 &&
         path[folder.size()] == '\\';
}

// The shortcuts in `where` (and, for the Start Menu, in its groups) that
// point into the installation folder.
void PrintShortcuts(const std::string& where, const std::string& folder, bool with_groups) {
  for (const ListedItem& item : ListFolder(where)) {
    std::string path = where + "\\" + item.name;
    if (item.is_folder) {
      if (with_groups) PrintShortcuts(path, folder, false);
      continue;
    }
    if (item.name.size() < 4 || lstrcmpiA(item.name.c_str() + item.name.size() - 4, ".lnk") != 0) continue;
    ShortcutInfo link = ReadShortcut(path);
    if (!link.readable || !InFolder(link.target, folder)) continue;
    std::printf("shortcut: %s -> %s (starts in %s)\n", path.c_str(), link.target.c_str(),
                link.working_directory.c_str());
  }
}

void PrintRegistry(const std::string& folder) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tolvenwark", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD size = sizeof name;
      if (RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      std::printf("registry: HKCU\\Software\\Tolvenwark [%s] = %s\n", name,
                  RegistryText(HKEY_CURRENT_USER, "Software\\Tolvenwark", name).c_str());
    }
    RegCloseKey(key);
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallRoot, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    std::string entry = std::string(kUninstallRoot) + "\\" + name;
    std::string command = RegistryText(HKEY_LOCAL_MACHINE, entry, "UninstallString");
    if (!InFolder(command, folder)) continue;
    std::printf("registry: HKLM\\%s [DisplayName] = %s\n", entry.c_str(),
                RegistryText(HKEY_LOCAL_MACHINE, entry, "DisplayName").c_str());
    std::printf("registry: HKLM\\%s [UninstallString] = %s\n", entry.c_str(), command.c_str());
  }
  RegCloseKey(key);
}

void WaitForShot(const std::string& signals) {
  HANDLE ready = CreateFileA((signals + "\\dialog-ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  std::fflush(stdout);
  for (int i = 0; i < 400 && !PathExists(signals + "\\dialog-shot"); ++i) Sleep(50);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: tolven_demo SETUP.EXE [SIGNAL_FOLDER]\n");
    return 2;
  }
  std::string folder;
  InstallOutcome outcome;
  DWORD install_ms = 0;
  ProbeOptions options;
  options.timeout_ms = 60000;
  options.interact = [&](const OpenDialog& open) {
    ProbeResult shown;
    shown.started = true;
    shown.dialog_found = true;
    shown.dialog = ReadSnapshot(open);
    std::string description = DescribeSnapshot(shown);
    // Only the dialog's lines: the program is still running.
    description.erase(description.rfind("still running"));
    std::printf("--- the dialog\n%s", description.c_str());
    folder = shown.dialog.folder;
    // Every option the dialog offers (Quick Launch only where its folder
    // exists).
    if (shown.dialog.start_menu.visible) SetOption(open, IDC_START_MENU, true);
    if (shown.dialog.desktop_icon.visible) SetOption(open, IDC_DESKTOP_ICON, true);
    if (shown.dialog.quick_launch.visible) SetOption(open, IDC_QUICK_LAUNCH, true);
    if (argc == 3) WaitForShot(argv[2]);
    std::printf("--- OK pressed, with every shortcut option offered checked\n");
    DWORD start = GetTickCount();
    outcome = PressInstall(open);
    install_ms = GetTickCount() - start;
    for (const MessageSnapshot& message : outcome.messages) {
      std::printf("message box [%s]: %s\n", message.caption.c_str(), message.text.c_str());
    }
  };
  DWORD run_start = GetTickCount();
  ProbeResult result = ProbeSetup(argv[1], options);
  DWORD run_ms = GetTickCount() - run_start;
  if (!result.dialog_found) {
    std::printf("%s", DescribeSnapshot(result).c_str());
    return 1;
  }
  std::printf("--- %s %.1f s after OK; Setup %s, %.1f s after it started (the pause for the picture included)\n",
              outcome.dialog_closed ? "installed" : "not installed", install_ms / 1000.0,
              result.exited ? "has ended" : "is still running", run_ms / 1000.0);

  std::printf("--- installed files in %s\n", folder.c_str());
  for (const ListedItem& item : ListFolder(folder)) {
    std::printf("file: %-14s %8llu bytes  %s\n", item.name.c_str(), static_cast<unsigned long long>(item.size),
                LocalTimeText(item.last_write).c_str());
  }
  std::printf("--- registry\n");
  PrintRegistry(folder);
  std::printf("--- shortcuts\n");
  PrintShortcuts(ShellFolder(CSIDL_DESKTOPDIRECTORY), folder, false);
  PrintShortcuts(QuickLaunchFolder(), folder, false);
  PrintShortcuts(ProgramsFolder(), folder, true);
  return outcome.dialog_closed ? 0 : 1;
}
