#include "tests/e2e/installed_product.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>

std::vector<ListedItem> ListFolder(const std::string& folder) {
  std::vector<ListedItem> items;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return items;
  do {
    ListedItem item;
    item.name = found.cFileName;
    if (item.name == "." || item.name == "..") continue;
    item.is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    item.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    item.last_write = found.ftLastWriteTime;
    items.push_back(item);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(items.begin(), items.end());
  return items;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const ListedItem& item : ListFolder(folder)) names.push_back(item.is_folder ? item.name + "\\" : item.name);
  return names;
}

std::string FolderState(const std::string& folder) {
  std::string state;
  for (const ListedItem& item : ListFolder(folder)) {
    const std::string path = folder + "\\" + item.name;
    // FNV-1a over the content: enough to tell two versions of a file apart.
    uint64_t hash = 14695981039346656037ull;
    FILE* file = item.is_folder ? nullptr : fopen(path.c_str(), "rb");
    for (int c; file != nullptr && (c = fgetc(file)) != EOF;)
      hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    if (file != nullptr) fclose(file);
    char line[96];
    snprintf(line, sizeof line, "\t%08lx\t%08lx%08lx\t%llu\t%016llx\n",
             static_cast<unsigned long>(GetFileAttributesA(path.c_str())),
             static_cast<unsigned long>(item.last_write.dwHighDateTime),
             static_cast<unsigned long>(item.last_write.dwLowDateTime), static_cast<unsigned long long>(item.size),
             static_cast<unsigned long long>(hash));
    state += item.name + line;
    if (item.is_folder) {
      std::string inside = FolderState(path);
      for (size_t at = 0; at < inside.size(); at = inside.find('\n', at) + 1)
        state += item.name + "\\" + inside.substr(at, inside.find('\n', at) + 1 - at);
    }
  }
  return state;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string RegistryText(HKEY root, const std::string& key_name, const std::string& value_name) {
  HKEY key;
  if (RegOpenKeyExA(root, key_name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "(none)";
  char value[1024] = "";
  DWORD size = sizeof value - 1;
  DWORD type = REG_NONE;
  LONG status = RegQueryValueExA(key, value_name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return "(none)";
  if (type == REG_DWORD) return "dword " + std::to_string(*reinterpret_cast<const DWORD*>(value));
  return value;
}

bool SetRegistryValue(HKEY root, const std::string& key_name, const std::string& value_name, DWORD type,
                      const std::string& data) {
  HKEY key;
  if (RegCreateKeyExA(root, key_name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG status = RegSetValueExA(key, value_name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                               static_cast<DWORD>(data.size()));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void DeleteRegistryValue(HKEY root, const std::string& key_name, const std::string& value_name) {
  HKEY key;
  if (RegOpenKeyExA(root, key_name.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, value_name.c_str());
  RegCloseKey(key);
}

std::string SystemText(DWORD code) {
  char text[512] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
  return text;
}

ShortcutInfo ReadShortcut(const std::string& path) {
  ShortcutInfo info;
  if (!PathExists(path)) return info;
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      WCHAR wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
      if (SUCCEEDED(file->Load(wide, STGM_READ))) {
        char text[MAX_PATH] = "";
        link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
        info.target = text;
        text[0] = '\0';
        link->GetWorkingDirectory(text, sizeof text);
        info.working_directory = text;
        info.readable = true;
        if (FILE* bytes = std::fopen(path.c_str(), "rb")) {
          if (std::fseek(bytes, 0x3C, SEEK_SET) == 0 && std::fread(&info.show_command, 4, 1, bytes) != 1) {
            info.show_command = 0;
          }
          std::fclose(bytes);
        }
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return info;
}

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = "";
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
  return path;
}

std::string QuickLaunchFolder() {
  std::string appdata = ShellFolder(CSIDL_APPDATA);
  return appdata.empty() ? "" : appdata + "\\Microsoft\\Internet Explorer\\Quick Launch";
}

std::string ProgramsFolder() {
  std::string common = ShellFolder(CSIDL_COMMON_PROGRAMS);
  return common.empty() ? ShellFolder(CSIDL_PROGRAMS) : common;
}

std::string LocalTimeText(const FILETIME& time) {
  FILETIME local;
  SYSTEMTIME parts;
  FileTimeToLocalFileTime(&time, &local);
  FileTimeToSystemTime(&local, &parts);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", parts.wYear, parts.wMonth, parts.wDay, parts.wHour,
                parts.wMinute, parts.wSecond);
  return text;
}

namespace {

// Every item under `folder`, folders with a trailing backslash, files with
// their size and last write.
void ListTree(const std::string& folder, std::vector<std::string>* lines) {
  for (const ListedItem& item : ListFolder(folder)) {
    std::string path = folder + "\\" + item.name;
    if (item.is_folder) {
      lines->push_back(path + "\\");
      ListTree(path, lines);
    } else {
      lines->push_back(path + " " + std::to_string(item.size) + " " + LocalTimeText(item.last_write));
    }
  }
}

// Every value of every key under `key_name`, as "key\\value = data".
void ListValues(HKEY root, const std::string& key_name, std::vector<std::string>* lines) {
  HKEY key;
  if (RegOpenKeyExA(root, key_name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  char name[1024];
  for (DWORD index = 0;; ++index) {
    DWORD name_size = sizeof name;
    BYTE data[2048];
    DWORD data_size = sizeof data;
    if (RegEnumValueA(key, index, name, &name_size, nullptr, nullptr, data, &data_size) != ERROR_SUCCESS) break;
    std::string text(reinterpret_cast<char*>(data), data_size);
    if (!text.empty() && text.back() == '\0') text.pop_back();
    lines->push_back(key_name + "\\" + name + " = " + text);
  }
  std::vector<std::string> subkeys;
  for (DWORD index = 0;; ++index) {
    DWORD name_size = sizeof name;
    if (RegEnumKeyExA(key, index, name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.push_back(name);
  }
  RegCloseKey(key);
  lines->push_back(key_name + "\\");
  for (const std::string& subkey : subkeys) ListValues(root, key_name + "\\" + subkey, lines);
}

}  // namespace

PrefixSnapshot TakePrefixSnapshot(const std::string& temporary) {
  PrefixSnapshot snapshot;
  ListTree("C:", &snapshot.files);
  ListValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
             &snapshot.uninstall_entries);
  ListValues(HKEY_CURRENT_USER, "Software\\Tolvenwark", &snapshot.remembered);
  ListTree(temporary, &snapshot.temporary);
  for (std::vector<std::string>* lines :
       {&snapshot.files, &snapshot.uninstall_entries, &snapshot.remembered, &snapshot.temporary}) {
    std::sort(lines->begin(), lines->end());
  }
  return snapshot;
}

std::vector<std::string> Changes(const std::vector<std::string>& before, const std::vector<std::string>& after) {
  std::vector<std::string> changes;
  for (const std::string& line : after) {
    if (!std::binary_search(before.begin(), before.end(), line)) changes.push_back("+ " + line);
  }
  for (const std::string& line : before) {
    if (!std::binary_search(after.begin(), after.end(), line)) changes.push_back("- " + line);
  }
  return changes;
}
