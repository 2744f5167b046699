#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "tools/extract_folder.h"
#include "tools/shown_name.h"

namespace {

// Each new file gets a name of its own in its folder; the process id keeps
// two extractions into one folder apart.
unsigned long next_temporary = 0;

std::vector<std::string> Components(const std::string& name) {
  std::vector<std::string> parts(1);
  for (char c : name) {
    if (c == '\\' || c == '/') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// Opens the folder `part` below `parent` without following a link, making
// it when missing; `shown` names it in the output folder `root`. Returns
// the descriptor, or -1 with `why` set.
int OpenBelow(int parent, const std::string& part, const std::string& shown, const std::string& root,
              std::string* why) {
  const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int folder = openat(parent, part.c_str(), flags);
  if (folder < 0 && errno == ENOENT) {
    if (mkdirat(parent, part.c_str(), 0777) != 0 && errno != EEXIST) {
      *why = "cannot make the folder " + shown + " in " + root + ": " + strerror(errno);
      return -1;
    }
    // Whatever stands there now is opened as it is: a link swapped in since
    // the folder was made is not followed.
    folder = openat(parent, part.c_str(), flags);
  }
  if (folder >= 0) return folder;
  struct stat there;
  if (errno == ELOOP || (fstatat(parent, part.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(there.st_mode))) {
    *why = shown + " is a symbolic link in " + root + "; it is not followed";
  } else if (errno == ENOTDIR) {
    *why = "cannot make the folder " + shown + " in " + root + ": a file of that name is there";
  } else {
    *why = "cannot open the folder " + shown + " in " + root + ": " + strerror(errno);
  }
  return -1;
}

// Opens the folder that holds the last component of `name`, or the folder
// of every component when `all`. Returns -1 with `why` set when refused.
int OpenFolders(const OutputFolder& output, const std::string& name, bool all, std::string* why) {
  std::vector<std::string> parts = Components(name);
  size_t folders = all ? parts.size() : parts.size() - 1;
  int current = dup(output.descriptor);
  std::string shown;
  for (size_t i = 0; i < folders && current >= 0; ++i) {
    shown += (i > 0 ? "\\" : "") + parts[i];
    int next = OpenBelow(current, Utf8FromWindows1252(parts[i]), ShownName(shown), output.path, why);
    close(current);
    current = next;
  }
  return current;
}

}  // namespace

std::string NativeName(const std::string& name) {
  std::string native = Utf8FromWindows1252(name);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

bool OpenOutputFolder(const std::string& path, OutputFolder* folder, std::string* error) {
  std::error_code ignored;
  std::filesystem::create_directories(path, ignored);
  // DIR itself is the user's choice and may be reached through links.
  folder->descriptor = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::filesystem::path full = std::filesystem::absolute(path, ignored).lexically_normal();
  folder->path = full.string();
  if (folder->path.empty() || folder->path.back() != '/') folder->path += '/';
  if (folder->descriptor < 0) {
    *error = "cannot use " + path + " as the folder to extract to";
    return false;
  }
  return true;
}

void CloseOutputFolder(OutputFolder* folder) {
  if (folder->descriptor >= 0) close(folder->descriptor);
  folder->descriptor = -1;
}

std::string MakeEntryFolders(const OutputFolder& folder, const std::string& name) {
  std::string why;
  int made = OpenFolders(folder, name, true, &why);
  if (made >= 0) close(made);
  return why;
}

std::string PrepareEntryFile(const OutputFolder& folder, const std::string& name, EntryPlace* place) {
  std::string why;
  int parent = OpenFolders(folder, name, false, &why);
  if (parent < 0) return why;
  std::string leaf = Utf8FromWindows1252(Components(name).back());
  struct stat there;
  if (fstatat(parent, leaf.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(there.st_mode)) {
    close(parent);
    return S_ISLNK(there.st_mode) ? ShownName(name) + " is a symbolic link in " + folder.path + "; it is not followed"
                                  : "cannot create " + folder.path + NativeName(name) + " (a folder of that name)";
  }
  place->folder = parent;
  place->leaf = leaf;
  place->shown = folder.path + NativeName(name);
  place->temporary_leaf = ".mksetup-" + std::to_string(getpid()) + "-" + std::to_string(++next_temporary);
  // The pass creates the file by path; through the descriptor's own entry
  // in /proc that path leads into the folder opened above and nowhere else.
  place->temporary = "/proc/self/fd/" + std::to_string(parent) + "/" + place->temporary_leaf;
  return "";
}

std::string PutEntryInPlace(EntryPlace* place) {
  std::string why;
  if (renameat(place->folder, place->temporary_leaf.c_str(), place->folder, place->leaf.c_str()) != 0) {
    why = "cannot put " + place->shown + " in place: " + strerror(errno);
    unlinkat(place->folder, place->temporary_leaf.c_str(), 0);
  }
  close(place->folder);
  place->folder = -1;
  return why;
}

void AbandonEntryPlace(EntryPlace* place) {
  if (place->folder < 0) return;
  unlinkat(place->folder, place->temporary_leaf.c_str(), 0);
  close(place->folder);
  place->folder = -1;
}
