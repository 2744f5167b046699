#include <windows.h>

#include <filesystem>
#include <vector>

#include "common/file_system.h"
#include "tools/extract_folder.h"

namespace {

// Each new file gets a name of its own in its folder; the process id keeps
// two extractions into one folder apart.
unsigned long next_temporary = 0;

// Walks the folders of `name` below the output folder, the last component
// too when `all`, making each one that is missing; a reparse point on the
// way is refused. Returns the path of the last folder walked, or "" with
// `why` set.
std::string WalkFolders(const OutputFolder& output, const std::string& name, bool all, std::string* why) {
  std::string path = output.path;
  std::string shown;
  size_t start = 0;
  for (;;) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos && !all) return path;
    std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    shown += (shown.empty() ? "" : "\\") + part;
    path += part;
    CreateDirectoryA(path.c_str(), nullptr);
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      *why = "cannot make the folder " + shown + " in " + output.path;
      return "";
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      *why = shown + " is a link or junction in " + output.path + "; it is not followed";
      return "";
    }
    path += '\\';
    if (end == std::string::npos) return path;
    start = end + 1;
  }
}

}  // namespace

std::string NativeName(const std::string& name) { return name; }

bool OpenOutputFolder(const std::string& path, OutputFolder* folder, std::string* error) {
  std::error_code ignored;
  std::filesystem::create_directories(path, ignored);
  char full[MAX_PATH];
  if (FsFullPath(path.c_str(), full, sizeof full) == 0 || !std::filesystem::is_directory(path, ignored)) {
    *error = "cannot use " + path + " as the folder to extract to";
    return false;
  }
  folder->path = full;
  if (folder->path.back() != '\\' && folder->path.back() != '/') folder->path += '\\';
  return true;
}

void CloseOutputFolder(OutputFolder*) {}

std::string MakeEntryFolders(const OutputFolder& folder, const std::string& name) {
  std::string why;
  WalkFolders(folder, name, true, &why);
  return why;
}

std::string PrepareEntryFile(const OutputFolder& folder, const std::string& name, EntryPlace* place) {
  std::string why;
  std::string parent = WalkFolders(folder, name, false, &why);
  if (parent.empty()) return why;
  size_t slash = name.find_last_of("\\/");
  std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
  place->final_path = parent + leaf;
  place->shown = place->final_path;
  DWORD attributes = GetFileAttributesA(place->final_path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return name + " is a link or junction in " + folder.path + "; it is not followed";
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return "cannot create " + place->final_path + " (a folder of that name)";
  }
  place->temporary =
      parent + ".mksetup-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++next_temporary);
  return "";
}

std::string PutEntryInPlace(EntryPlace* place) {
  // A read-only file of an earlier extraction is replaced like any other.
  DWORD attributes = GetFileAttributesA(place->final_path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesA(place->final_path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (MoveFileExA(place->temporary.c_str(), place->final_path.c_str(), MOVEFILE_REPLACE_EXISTING)) return "";
  AbandonEntryPlace(place);
  return "cannot put " + place->shown + " in place";
}

void AbandonEntryPlace(EntryPlace* place) {
  SetFileAttributesA(place->temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(place->temporary.c_str());
}
