// The sample product's uninstaller, which Setup registers as the product's
// uninstall command. It removes what the installation made: the product's
// files and then its folder (when nothing else lives there), the desktop,
// Quick Launch and Start-Menu shortcuts that point into that folder, the
// Start-Menu group, the uninstall entry and the remembered folder.
//
// A running program can delete neither its own file nor the folder it runs
// from. So the installed UnInst.exe only asks; on yes it copies itself into
// the temporary folder, starts the copy as
//     <copy> /remove <its own process id> <its own full path>
// and ends. The copy waits for it to end, removes everything, reports, and
// has the system delete the copy itself at the next restart (the one file
// the uninstallation leaves behind until then).
//
// It runs with administrator rights, the copy from the temporary folder:
// like Setup.exe it starts at ProgramEntry, which closes the library search
// first, and binds what it imports from every system library but kernel32
// only then.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "package_files.h"  // kPackageFiles: the names the package installs

namespace {

const char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kRemembered[] = "Software\\Tolvenwark";
const char kQuickLaunchTail[] = "\\Microsoft\\Internet Explorer\\Quick Launch";
const char kRemoveSwitch[] = "/remove";

// How long the copy waits for the installed program to end.
constexpr DWORD kOriginalExitTimeout = 30000;

// What the uninstallation is about: where the product lives and the name it
// was registered under (empty when Setup wrote no uninstall entry for it).
struct Product {
  char uninstaller[MAX_PATH];  // the installed UnInst.exe
  char folder[MAX_PATH];       // its folder, without a trailing separator
  char group[MAX_PATH];        // the uninstall key's name: Setup's product name
};

// Bounded formatting through the system's own formatter, which keeps the
// program small.
void Format(char* destination, size_t size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  wvnsprintfA(destination, static_cast<int>(size), format, arguments);
  va_end(arguments);
}

void CopyText(char* destination, const char* source, size_t size) { Format(destination, size, "%s", source); }

// The folder of a path: everything before its last separator.
void FolderOf(const char* path, char* folder, size_t size) {
  CopyText(folder, path, size);
  char* last = std::strrchr(folder, '\\');
  if (last != nullptr) *last = '\0';
}

bool SameFolder(const char* path, const char* folder) {
  char parent[MAX_PATH];
  FolderOf(path, parent, sizeof parent);
  return lstrcmpiA(parent, folder) == 0;
}

// The program of a registered command: Setup writes it in double quotes,
// earlier versions wrote it bare.
const char* CommandProgram(char* command) {
  size_t length = std::strlen(command);
  if (length < 2 || command[0] != '"' || command[length - 1] != '"') return command;
  command[length - 1] = '\0';
  return command + 1;
}

// The uninstall entry whose command is this uninstaller names the product.
void FindGroup(Product* product) {
  product->group[0] = '\0';
  HKEY root;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallRoot, 0, KEY_READ, &root) != ERROR_SUCCESS) return;
  char name[MAX_PATH];
  for (DWORD index = 0;; ++index) {
    DWORD name_size = sizeof name;
    if (RegEnumKeyExA(root, index, name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY entry;
    if (RegOpenKeyExA(root, name, 0, KEY_READ, &entry) != ERROR_SUCCESS) continue;
    // A full path, its two quotes and the stored terminator.
    char command[MAX_PATH + 3] = "";
    DWORD size = sizeof command - 1;
    bool ours = RegQueryValueExA(entry, "UninstallString", nullptr, nullptr, reinterpret_cast<BYTE*>(command),
                                 &size) == ERROR_SUCCESS &&
                lstrcmpiA(CommandProgram(command), product->uninstaller) == 0;
    RegCloseKey(entry);
    if (ours) {
      CopyText(product->group, name, sizeof product->group);
      break;
    }
  }
  RegCloseKey(root);
}

bool DescribeProduct(const char* uninstaller, Product* product) {
  if (GetFullPathNameA(uninstaller, sizeof product->uninstaller, product->uninstaller, nullptr) == 0) return false;
  FolderOf(product->uninstaller, product->folder, sizeof product->folder);
  FindGroup(product);
  return true;
}

// The name shown to the user: the registered product name, else the folder.
const char* DisplayName(const Product& product) {
  return product.group[0] != '\0' ? product.group : product.folder;
}

// The shortcut's target, read through the shell's link object; empty when
// the file is no shortcut.
void ShortcutTarget(const char* link_path, char* target, size_t size) {
  target[0] = '\0';
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)))) {
    return;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, link_path, -1, wide, MAX_PATH);
    if (SUCCEEDED(file->Load(wide, STGM_READ))) link->GetPath(target, static_cast<int>(size), nullptr, SLGP_RAWPATH);
    file->Release();
  }
  link->Release();
}

// Deletes the shortcut only when it points into the product's folder: a
// shortcut of the same name may be the user's own.
void RemoveShortcut(const Product& product, const char* link_path) {
  char target[MAX_PATH];
  ShortcutTarget(link_path, target, sizeof target);
  if (target[0] != '\0' && SameFolder(target, product.folder)) DeleteFileA(link_path);
}

void SpecialFolder(int csidl, char* path) {
  path[0] = '\0';
  if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) path[0] = '\0';
}

void RemoveShortcuts(const Product& product) {
  if (product.group[0] == '\0') return;
  char folder[MAX_PATH];
  char link[MAX_PATH * 2];

  SpecialFolder(CSIDL_DESKTOPDIRECTORY, folder);
  if (folder[0] != '\0') {
    Format(link, sizeof link, "%s\\%s.lnk", folder, product.group);
    RemoveShortcut(product, link);
  }
  SpecialFolder(CSIDL_APPDATA, folder);
  if (folder[0] != '\0') {
    Format(link, sizeof link, "%s%s\\%s.lnk", folder, kQuickLaunchTail, product.group);
    RemoveShortcut(product, link);
  }

  // The group is made in the all-users Start Menu where there is one, else
  // in the user's own: look in both. It goes once its entries are gone.
  const int programs[] = {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS};
  for (int csidl : programs) {
    SpecialFolder(csidl, folder);
    if (folder[0] == '\0') continue;
    char group[MAX_PATH * 2];
    Format(group, sizeof group, "%s\\%s", folder, product.group);
    char pattern[MAX_PATH * 2];
    Format(pattern, sizeof pattern, "%s\\*.lnk", group);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      Format(link, sizeof link, "%s\\%s", group, found.cFileName);
      RemoveShortcut(product, link);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    RemoveDirectoryA(group);
  }
}

// The uninstall entry, and the remembered folder under whatever package ID
// it was saved; the product's key goes when nothing else is remembered.
void RemoveRegistryEntries(const Product& product) {
  if (product.group[0] != '\0') {
    char key[MAX_PATH * 2];
    Format(key, sizeof key, "%s\\%s", kUninstallRoot, product.group);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
  }
  HKEY remembered;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRemembered, 0, KEY_READ | KEY_WRITE, &remembered) != ERROR_SUCCESS) return;
  // Deleting shifts the indexes: search again from the start after each.
  for (DWORD index = 0;;) {
    char name[256];
    char data[MAX_PATH] = "";
    DWORD name_size = sizeof name;
    DWORD data_size = sizeof data - 1;
    DWORD type = 0;
    if (RegEnumValueA(remembered, index, name, &name_size, nullptr, &type, reinterpret_cast<BYTE*>(data),
                      &data_size) != ERROR_SUCCESS) {
      break;
    }
    if (type == REG_SZ && lstrcmpiA(data, product.folder) == 0) {
      RegDeleteValueA(remembered, name);
    } else {
      ++index;
    }
  }
  DWORD values = 0;
  DWORD subkeys = 0;
  RegQueryInfoKeyA(remembered, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                   nullptr, nullptr);
  RegCloseKey(remembered);
  if (values == 0 && subkeys == 0) RegDeleteKeyA(HKEY_CURRENT_USER, kRemembered);
}

// The package's own files; anything else the user put there stays, and
// with it the folder.
void RemoveFiles(const Product& product) {
  for (const char* const* name = kPackageFiles; *name != nullptr; ++name) {
    char path[MAX_PATH * 2];
    Format(path, sizeof path, "%s\\%s", product.folder, *name);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
  }
  RemoveDirectoryA(product.folder);
}

// The copy's work, once the installed uninstaller has ended.
int Remove(DWORD original_id, const char* uninstaller) {
  HANDLE original = OpenProcess(SYNCHRONIZE, FALSE, original_id);
  if (original != nullptr) {
    WaitForSingleObject(original, kOriginalExitTimeout);
    CloseHandle(original);
  }
  Product product;
  if (!DescribeProduct(uninstaller, &product)) return 1;
  CoInitialize(nullptr);
  RemoveFiles(product);
  RemoveShortcuts(product);
  RemoveRegistryEntries(product);
  CoUninitialize();

  char self[MAX_PATH];
  if (GetModuleFileNameA(nullptr, self, sizeof self) != 0) MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);

  char text[MAX_PATH * 3];
  if (GetFileAttributesA(product.folder) == INVALID_FILE_ATTRIBUTES) {
    Format(text, sizeof text, "%s has been removed.", DisplayName(product));
  } else {
    Format(text, sizeof text, "%s has been removed. The folder %s holds other files and stays.",
                  DisplayName(product), product.folder);
  }
  MessageBoxA(nullptr, text, "Uninstall", MB_OK | MB_ICONINFORMATION);
  return 0;
}

// The installed uninstaller: asks, then hands the work to a copy of itself.
int AskAndHandOver() {
  char self[MAX_PATH];
  Product product;
  if (GetModuleFileNameA(nullptr, self, sizeof self) == 0 || !DescribeProduct(self, &product)) return 1;
  char question[MAX_PATH * 3];
  Format(question, sizeof question, "Remove %s and all of its components from %s?", DisplayName(product),
                product.folder);
  if (MessageBoxA(nullptr, question, "Uninstall", MB_YESNO | MB_ICONQUESTION) != IDYES) return 0;

  char temp[MAX_PATH];
  char copy[MAX_PATH * 2];
  DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length >= sizeof temp) return 1;
  Format(copy, sizeof copy, "%sUnInst-%lu.exe", temp, GetCurrentProcessId());
  if (!CopyFileA(self, copy, FALSE)) return 1;

  char command[MAX_PATH * 4];
  Format(command, sizeof command, "\"%s\" %s %lu \"%s\"", copy, kRemoveSwitch, GetCurrentProcessId(),
                product.uninstaller);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // Started from the temporary folder, so that the copy does not hold the
  // product's folder as its current folder.
  if (!CreateProcessA(copy, command, nullptr, nullptr, FALSE, 0, nullptr, temp, &startup, &process)) {
    DeleteFileA(copy);
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

// The copy's arguments: /remove, the installed uninstaller's process id
// and its path, quoted (it may hold spaces). False for any other line.
bool ReadRemoveArguments(char* arguments, DWORD* original_id, const char** uninstaller) {
  size_t switch_length = std::strlen(kRemoveSwitch);
  if (_strnicmp(arguments, kRemoveSwitch, switch_length) != 0 || arguments[switch_length] != ' ') return false;
  char* end = nullptr;
  *original_id = static_cast<DWORD>(std::strtoul(arguments + switch_length, &end, 10));
  while (*end == ' ') ++end;
  if (*end != '"') return false;
  char* closing = std::strchr(end + 1, '"');
  if (closing == nullptr) return false;
  *closing = '\0';
  *uninstaller = end + 1;
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
  DWORD original_id = 0;
  const char* uninstaller = nullptr;
  if (ReadRemoveArguments(arguments, &original_id, &uninstaller)) return Remove(original_id, uninstaller);
  return AskAndHandOver();
}
