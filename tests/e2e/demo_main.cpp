// tolven_demo SETUP.EXE [SIGNAL_FOLDER]
// Installs a product as a user would: starts the installer, prints what its
// dialog offers, presses OK with the proposed choices and every shortcut,
// answers and prints each message box, and then prints what the
// installation made: the files with their sizes, the registry values and
// the shortcuts with their targets, a line for each, short enough that the
// whole story fits on one screen. With SIGNAL_FOLDER it writes
// "dialog-ready" there once the dialog is shown and waits (up to 20 s) for
// "dialog-shot" before pressing OK, so that a script can take a picture.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

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
// point into the installation folder, named from `shown`, the folder as the
// user knows it; the target is named within the installation folder, and
// "elsewhere" is said of one that does not start there.
void PrintShortcuts(const std::string& where, const std::string& shown, const std::string& folder, bool with_groups) {
  for (const ListedItem& item : ListFolder(where)) {
    std::string path = where + "\\" + item.name;
    if (item.is_folder) {
      if (with_groups) PrintShortcuts(path, shown + "\\" + item.name, folder, false);
      continue;
    }
    if (item.name.size() < 4 || lstrcmpiA(item.name.c_str() + item.name.size() - 4, ".lnk") != 0) continue;
    ShortcutInfo link = ReadShortcut(path);
    if (!link.readable || !InFolder(link.target, folder)) continue;
    bool starts_there = lstrcmpiA(link.working_directory.c_str(), folder.c_str()) == 0;
    std::printf("  %s\\%s -> %s%s\n", shown.c_str(), item.name.c_str(), link.target.c_str() + folder.size() + 1,
                starts_there ? "" : (" (starts in " + link.working_directory + ")").c_str());
  }
}

// The dialog as the user sees it, a line for each choice it offers.
void PrintDialog(const DialogSnapshot& dialog) {
  std::printf("--- the dialog: \"%s\"\n", dialog.window_title.c_str());
  std::string editions;
  for (size_t i = 0; i < dialog.editions.size(); ++i) {
    editions += (i > 0 ? ", " : "") + dialog.editions[i].name +
                (static_cast<int>(i) == dialog.edition_selection ? " (chosen)" : "");
  }
  std::printf("  editions: %s\n", editions.c_str());
  std::string languages;
  for (const ProbedLanguage& language : dialog.languages) {
    languages += (languages.empty() ? "" : ", ") + language.name + (language.check_image == 2 ? "" : " (unchecked)");
  }
  std::printf("  languages: %s\n", languages.c_str());
  std::printf("  folder: %s\n", dialog.folder.c_str());
  std::string options;
  for (const ProbedOption* option : {&dialog.start_menu, &dialog.desktop_icon, &dialog.quick_launch}) {
    if (!option->visible) continue;
    options += (options.empty() ? "" : ", ") + option->text + (option->checked ? "" : " (unchecked)");
  }
  std::printf("  shortcuts offered: %s\n", options.c_str());
}

// One line, so that a message box's empty lines do not spread it out.
std::string OneLine(std::string text) {
  for (size_t at; (at = text.find("\n\n")) != std::string::npos;) text.replace(at, 2, " / ");
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

// Two files to a line, each with its size.
void PrintFiles(const std::string& folder) {
  std::vector<ListedItem> files = ListFolder(folder);
  std::printf("--- %zu files in %s\n", files.size(), folder.c_str());
  for (size_t i = 0; i < files.size(); ++i) {
    std::printf("%s%-14s %7llu bytes", i % 2 == 0 ? "  " : "    ", files[i].name.c_str(),
                static_cast<unsigned long long>(files[i].size));
    if (i % 2 == 1 || i + 1 == files.size()) std::printf("\n");
  }
}

void PrintRegistry(const std::string& folder) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tolvenwark", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD size = sizeof name;
      if (RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      std::printf("  HKCU\\Software\\Tolvenwark [%s] = %s\n", name,
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
    if (lstrcmpiA(RegistryText(HKEY_LOCAL_MACHINE, entry, "InstallLocation").c_str(), folder.c_str()) != 0) continue;
    std::printf("  HKLM\\%s\n", entry.c_str());
    for (const char* value : {"DisplayName", "UninstallString", "DisplayIcon", "DisplayVersion", "Publisher",
                              "InstallLocation", "EstimatedSize", "NoModify", "NoRepair"}) {
      std::printf("    [%s] = %s\n", value, RegistryText(HKEY_LOCAL_MACHINE, entry, value).c_str());
    }
  }
  RegCloseKey(key);
}

void WaitForShot(const std::string& signals) {
  HANDLE ready =
      CreateFileA((signals + "\\dialog-ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
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
    DialogSnapshot shown = ReadSnapshot(open);
    PrintDialog(shown);
    folder = shown.folder;
    // Every option the dialog offers (Quick Launch only where its folder
    // exists).
    if (shown.start_menu.visible) SetOption(open, IDC_START_MENU, true);
    if (shown.desktop_icon.visible) SetOption(open, IDC_DESKTOP_ICON, true);
    if (shown.quick_launch.visible) SetOption(open, IDC_QUICK_LAUNCH, true);
    if (argc == 3) WaitForShot(argv[2]);
    std::printf("--- OK pressed, with every shortcut offered checked\n");
    DWORD start = GetTickCount();
    outcome = PressInstall(open);
    install_ms = GetTickCount() - start;
    for (const MessageSnapshot& message : outcome.messages) {
      std::printf("  message box \"%s\": %s\n", message.caption.c_str(), OneLine(message.text).c_str());
    }
  };
  ProbeResult result = ProbeSetup(argv[1], options);
  if (!result.dialog_found) {
    std::printf("%s", DescribeSnapshot(result).c_str());
    return 1;
  }
  std::printf("--- %s %.1f s after OK; Setup %s\n", outcome.dialog_closed ? "installed" : "not installed",
              install_ms / 1000.0, result.exited ? "has ended" : "is still running");
  PrintFiles(folder);
  std::printf("--- registry\n");
  PrintRegistry(folder);
  std::printf("--- shortcuts, each starting in %s\n", folder.c_str());
  PrintShortcuts(ShellFolder(CSIDL_DESKTOPDIRECTORY), "Desktop", folder, false);
  PrintShortcuts(QuickLaunchFolder(), "Quick Launch", folder, false);
  PrintShortcuts(ProgramsFolder(), "Programs", folder, true);
  return outcome.dialog_closed ? 0 : 1;
}
