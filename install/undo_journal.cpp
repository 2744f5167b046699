#include "install/undo_journal.h"

#include <cstring>

#include "archive/memory_buffer.h"
#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/folders.h"
#include "setup/edition_choice.h"

namespace {

// The run's own folder inside the changed one: the record and the kept
// files. Kept apart, they leave the changed folder no fuller than before,
// which matters where a missing name is looked for by reading the whole
// folder (Wine does so for every file created).
const char kOwnFolder[] = "tw-undo";
const char kRecordName[] = "tw-undo\\record.tmp";

// What a replay of the record does with it.
enum ReplayMode {
  kAsRecorded,  // an interrupted run's record: committed if its last line is C
  kCommit,
  kUndo,
};

// `name` in `folder` into `path` (kPathSize bytes); false when it does not
// fit whole, since a cut path would name another file.
bool InFolder(const char* folder, const char* name, char* path) {
  CopyBounded(path, folder, kPathSize);
  return JoinPath(path, name, kPathSize) == kTextWhole;
}

bool Exists(const char* path) { return CheckFileExists(path) == 0; }

// One line of the record; true when it reached the file whole. It is
// written before the change it describes, so that the record never misses
// a change that was made.
bool Note(UndoJournal* journal, char kind, const char* first, const char* second) {
  char line[2 * kPathSize + 8] = {kind, '\t'};
  AppendBounded(line, first, sizeof line);
  if (second != nullptr) {
    AppendBounded(line, "\t", sizeof line);
    AppendBounded(line, second, sizeof line);
  }
  AppendBounded(line, "\r\n", sizeof line);
  DWORD length = static_cast<DWORD>(std::strlen(line));
  DWORD written = 0;
  return WriteFile(journal->record, line, length, &written, nullptr) && written == length;
}

// `folder` with its last `level` - 1 components cut off, into `path`:
// level 1 is the folder itself, level 2 its parent, and so on.
void NthLevel(const char* folder, int level, char* path) {
  CopyBounded(path, folder, kPathSize);
  for (int i = 1; i < level; ++i) CutLastComponent(path);
}

// Deletes the record and then the run's own folder, which only the record
// and kept files, all gone by now, were in; true when the record is gone.
bool DropRecord(const char* folder, const char* record) {
  bool gone = DeleteFileA(record) != 0;
  char own[kPathSize];
  if (InFolder(folder, kOwnFolder, own)) RemoveDirectoryA(own);
  return gone;
}

// Undoing one line or, in a committed run, finishing it. `whole` turns
// false when something could not be put back: the record then stays for
// the next run to try again.
void CarryOut(char* line, const char* folder, bool committed, const char* record, bool* record_gone,
              bool* whole) {
  char kind = line[0];
  char* first = std::strchr(line, '\t');
  if (first == nullptr) return;
  *first++ = '\0';
  char* second = std::strchr(first, '\t');
  if (second != nullptr) *second++ = '\0';
  if (kind == 'F') {
    // The folders were noted first, so they come last: the record is
    // the last thing of the run left inside them.
    if (committed) return;
    if (!*record_gone && *whole) *record_gone = DropRecord(folder, record);
    RemoveDirectoryA(first);
    return;
  }
  char path[kPathSize];
  char name_path[kPathSize];
  if (!InFolder(folder, first, path)) return;
  bool named = second != nullptr && InFolder(folder, second, name_path);
  if (kind == 'K' && committed) {
    ClearReadOnly(path);
    if (!DeleteFileA(path) && Exists(path)) DeleteAtRestart(path, DetectWindowsFamily() != 0);
  } else if (committed) {
    return;
  } else if (kind == 'N') {
    ClearReadOnly(path);
    if (!DeleteFileA(path) && Exists(path)) *whole = false;
  } else if (named && Exists(path) && kind == 'K') {
    // The new file goes, the kept one takes its name back, with its
    // content, times and attributes, as a rename leaves them.
    ClearReadOnly(name_path);
    DeleteFileA(name_path);
    if (Exists(name_path) || !MoveFileA(path, name_path)) *whole = false;
  } else if (named && Exists(path) && kind == 'M' && !Exists(name_path)) {
    // Only while nothing took the name since.
    MoveFileA(path, name_path);
  }
}

// Reads `folder`'s record and carries it out from its last line to its
// first. Nothing when there is no record.
void Replay(const char* folder, ReplayMode mode) {
  char record[kPathSize];
  if (!InFolder(folder, kRecordName, record)) return;
  HANDLE file = CreateFileA(record, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD length = GetFileSize(file, nullptr);
  char* text = length != INVALID_FILE_SIZE ? static_cast<char*>(ZeroAlloc(length + 1)) : nullptr;
  DWORD read = 0;
  bool loaded = text != nullptr && ReadFile(file, text, length, &read, nullptr) && read == length;
  CloseHandle(file);
  if (!loaded) {
    FreeStorage(text);
    return;
  }
  // No name holds a tab, so only the C line ends in one.
  bool committed = mode == kCommit ||
                   (mode == kAsRecorded && length >= 4 && std::strcmp(text + length - 4, "C\t\r\n") == 0);
  // Each line ends at a line break; all of them become terminators, and
  // the lines are taken from the end.
  for (DWORD i = 0; i < length; ++i) {
    if (text[i] == '\r' || text[i] == '\n') text[i] = '\0';
  }
  bool record_gone = false;
  bool whole = true;
  for (DWORD end = length; end > 0;) {
    DWORD start = end;
    while (start > 0 && text[start - 1] != '\0') --start;
    if (start < end) CarryOut(text + start, folder, committed, record, &record_gone, &whole);
    end = start > 0 ? start - 1 : 0;
  }
  if (!record_gone && (whole || committed)) DropRecord(folder, record);
  FreeStorage(text);
}

void CloseRecord(UndoJournal* journal) {
  if (journal->record != INVALID_HANDLE_VALUE) CloseHandle(journal->record);
  journal->record = INVALID_HANDLE_VALUE;
}

// The highest number of a kept file in the run's own folder `own`: the
// run numbers its files past it, so that none is ever taken for another's
// (one the user put there). Normally the folder is new and empty.
uint32_t HighestKeptNumber(const char* own) {
  char pattern[kPathSize];
  uint32_t highest = 0;
  if (!InFolder(own, "*.tmp", pattern)) return highest;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return highest;
  do {
    uint32_t number = 0;
    for (const char* c = found.cFileName; *c != '.' && *c != '\0'; ++c) {
      uint32_t digit = *c >= 'a' ? *c - 'a' + 10 : *c >= 'A' ? *c - 'A' + 10 : *c - '0';
      number = number * 16 + (digit & 15);
    }
    if (number > highest) highest = number;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return highest;
}

// `folder` without trailing separators (a drive root keeps its own).
void SetFolder(char* out, const char* folder) {
  CopyBounded(out, folder, kPathSize);
  size_t length = std::strlen(out);
  while (length > 3 && IsPathSeparator(out[length - 1])) out[--length] = '\0';
}

}  // namespace

bool BeginChanges(UndoJournal* journal, const char* folder) {
  journal->record = INVALID_HANDLE_VALUE;
  journal->kept = 0;
  SetFolder(journal->folder, folder);
  // The levels that do not exist yet, counted from the folder outward; a
  // drive root is never made.
  char level[kPathSize];
  int missing = 0;
  for (CopyBounded(level, journal->folder, sizeof level); std::strlen(level) > 3 && !Exists(level);
       CutLastComponent(level)) {
    ++missing;
  }
  CreateFolderPath(journal->folder);
  char record[kPathSize];
  char own[kPathSize];
  if (InFolder(journal->folder, kOwnFolder, own) && InFolder(journal->folder, kRecordName, record) &&
      (CreateDirectoryA(own, nullptr) ? SetFileAttributesA(own, FILE_ATTRIBUTE_HIDDEN) != 0
                                      : GetLastError() == ERROR_ALREADY_EXISTS)) {
    journal->kept = HighestKeptNumber(own);
    journal->record = CreateFileA(record, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  }
  if (journal->record == INVALID_HANDLE_VALUE) {
    RemoveDirectoryA(own);
    for (int n = 1; n <= missing; ++n) {
      NthLevel(journal->folder, n, level);
      RemoveDirectoryA(level);
    }
    return false;
  }
  for (int n = missing; n > 0; --n) {
    NthLevel(journal->folder, n, level);
    Note(journal, 'F', level, nullptr);
  }
  return true;
}

bool MakeWayFor(UndoJournal* journal, const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (journal == nullptr) {
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      ClearReadOnly(path);
      DeleteFileA(path);
    }
    return true;
  }
  const char* name = path + FileNameOffset(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Note(journal, 'N', name, nullptr);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  // The number is past every one the run's folder held (HighestKeptNumber),
  // and MoveFileA never replaces a file that took it since.
  char kept[kLongestOwnName + 1];
  char kept_path[kPathSize];
  if (++journal->kept == 0) return false;
  wsprintfA(kept, "tw-undo\\%x.tmp", journal->kept);
  return InFolder(journal->folder, kept, kept_path) && Note(journal, 'K', kept, name) &&
         MoveFileA(path, kept_path);
}

void RenameNoted(UndoJournal* journal, const char* name, const char* moved) {
  char from[kPathSize];
  char to[kPathSize];
  if (!InFolder(journal->folder, name, from) || !InFolder(journal->folder, moved, to)) return;
  if (!Exists(from) || Exists(to)) return;
  if (Note(journal, 'M', moved, name)) MoveFileA(from, to);
}

void CommitChanges(UndoJournal* journal) {
  if (journal->record == INVALID_HANDLE_VALUE) return;
  // Written for a run ended from outside while the kept files are being
  // deleted: the next run then deletes the rest instead of undoing.
  Note(journal, 'C', "", nullptr);
  CloseRecord(journal);
  Replay(journal->folder, kCommit);
}

void UndoChanges(UndoJournal* journal) {
  if (journal->record == INVALID_HANDLE_VALUE) return;
  CloseRecord(journal);
  Replay(journal->folder, kUndo);
}

void RecoverInterruptedRun(const char* folder) {
  char normal[kPathSize];
  SetFolder(normal, folder);
  Replay(normal, kAsRecorded);
}

void DeleteAtRestart(const char* path, bool nt_family) {
  if (nt_family) {
    MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return;
  }
  // wininit.ini is carried out before long names are known: the short
  // form. Its NUL= lines share one key, which only a whole section can
  // hold, so the section is read, extended and written back.
  char short_path[kPathSize];
  DWORD length = GetShortPathNameA(path, short_path, sizeof short_path);
  if (length == 0 || length >= sizeof short_path) return;
  constexpr DWORD kSectionSize = 32768;
  char* section = static_cast<char*>(ZeroAlloc(kSectionSize));
  if (section == nullptr) return;
  // The lines, each ending in 0; `used` stands on the final 0.
  DWORD used = GetPrivateProfileSectionA("rename", section, kSectionSize, "wininit.ini");
  if (used + length + 6 < kSectionSize) {
    std::memcpy(section + used, "NUL=", 4);
    std::memcpy(section + used + 4, short_path, length + 1);
    WritePrivateProfileSectionA("rename", section, "wininit.ini");
  }
  FreeStorage(section);
}
