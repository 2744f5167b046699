// Reading an installation from the outside, as a user or an administrator
// would find it: the files of a folder, registry values and shortcut files.
// Shared by the end-to-end tests and the demo.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct ListedItem {
  std::string name;
  bool is_folder = false;
  uint64_t size = 0;
  FILETIME last_write = {};
  bool operator<(const ListedItem& other) const { return name < other.name; }
};

// What lies directly in `folder`, sorted by name; empty when it is missing.
std::vector<ListedItem> ListFolder(const std::string& folder);
// The names alone, folders with a trailing backslash.
std::vector<std::string> FolderNames(const std::string& folder);

bool PathExists(const std::string& path);

// Everything of a folder that an installation must leave as it was, one
// line an item, sorted, the items of subfolders after their folder's line:
// name, attributes, last-write time, size and a hash of the content.
// Empty for a folder that does not exist.
std::string FolderState(const std::string& folder);

// A string value, a number as "dword N", or "(none)" when the key or the
// value is missing.
std::string RegistryText(HKEY root, const std::string& key, const std::string& value);
// Stores `data` as it stands (a string's terminator included only when it
// holds one), making the key where needed; whether it was stored.
bool SetRegistryValue(HKEY root, const std::string& key, const std::string& value, DWORD type, const std::string& data);
// Removes the value where there is one.
void DeleteRegistryValue(HKEY root, const std::string& key, const std::string& value);

// The system's own sentence for an error code, as a message box shows it.
std::string SystemText(DWORD code);

struct ShortcutInfo {
  bool readable = false;
  std::string target;
  std::string working_directory;
  // From the file's header: the link object reads every value but 1, 3 and
  // 7 as 1.
  int show_command = 0;
};

// A shortcut file read back through the shell's own link object.
ShortcutInfo ReadShortcut(const std::string& path);

// Shell folders where an installation puts shortcuts.
std::string ShellFolder(int csidl);
std::string QuickLaunchFolder();
// The Start-Menu folder that gets product groups: all users' when there is
// one, else the user's own.
std::string ProgramsFolder();

// The item's last-write time as local "YYYY-MM-DD hh:mm:ss".
std::string LocalTimeText(const FILETIME& time);

// Everything an installation can leave in the prefix, each as sorted lines:
// every file (with its size and last write) and folder under C:\, the
// uninstall entries with their values, the remembered folders, and what
// lies under `temporary`, the temporary folder the programs were given.
struct PrefixSnapshot {
  std::vector<std::string> files;
  std::vector<std::string> uninstall_entries;
  std::vector<std::string> remembered;
  std::vector<std::string> temporary;
};
PrefixSnapshot TakePrefixSnapshot(const std::string& temporary);

// The lines of `after` that `before` lacks ("+ ...") and those it lost
// ("- ..."); empty when both hold the same.
std::vector<std::string> Changes(const std::vector<std::string>& before, const std::vector<std::string>& after);
