#include "install/undo_journal.h"

#include <cstdio>
#include <cstring>

#include "archive/memory_buffer.h"
#include "common/bounded_text.h"
#include "common/file_system.h"
#include "common/path_helpers.h"
#include "install/folders.h"
#include "install/install_progress.h"
#include "install/read_only.h"
#include "install/restart_removal.h"

namespace {

// The run's own folder inside the changed one: the record and the kept
// files. Kept apart, they leave the changed folder no fuller than before,
// which matters where a missing name is looked for by reading the whole
// folder (Wine does so for every file created).
const char kOwnFolder[] = "tw-undo";
const char kRecordName[] = "tw-undo\\record.tmp";

bool Exists(const char* path) { return CheckFileExists(path) == 0; }

// One line of the record; true when it reached the file whole. It is
// written before the change it describes, so that the record never misses
// a change that was made.
bool Note(UndoJournal* journal, char kind, const char* first, const char* second) {
  // Two paths and the line's five characters: within wsprintfA's bound.
  char line[2 * kPathSize + 8];
  DWORD length = static_cast<DWORD>(
      wsprintfA(line, "%c\t%s%s%s\r\n", kind, first, second != nullptr ? "\t" : "", second != nullptr ? second : ""));
  DWORD written = 0;
  return WriteFile(journal->record, line, length, &written, nullptr) && written == length;
}

// Deletes the file, a read-only one too; true when none is left there.
bool Delete(const char* path) {
  ClearReadOnly(path);
  return DeleteFileA(path) || !Exists(path);
}

// Undoing one line or, in a committed run, finishing it; F lines are left
// to the caller. False when something could not be put back: the record
// then stays for the next run to try again.
bool CarryOut(char* line, const char* folder, bool committed) {
  char kind = line[0];
  char* first = std::strchr(line, '\t');
  if (first == nullptr || kind == 'F') return true;
  *first++ = '\0';
  char* second = std::strchr(first, '\t');
  if (second != nullptr) *second++ = '\0';
  char path[kPathSize];
  char name_path[kPathSize];
  if (!PathInFolder(path, folder, first)) return true;
  if (committed) {
    if (kind == 'K' && !Delete(path)) DeleteAtRestart(path);
    return true;
  }
  if (kind == 'N') return Delete(path);
  // A kept or moved file that is not there (its move never happened)
  // leaves the name alone.
  if (second == nullptr || !PathInFolder(name_path, folder, second) || !Exists(path)) return true;
  // The new file goes, the kept one takes its name back, with its content,
  // times and attributes, as a rename leaves them.
  if (kind == 'K') return Delete(name_path) && MoveFileA(path, name_path);
  // Only while nothing took the name since.
  if (kind == 'M' && !Exists(name_path)) MoveFileA(path, name_path);
  return true;
}

// Reads `folder`'s record and carries it out from its last line to its
// first: committed when `commit` is set or the record ends in its C line,
// else undone. Nothing when there is no record. The folders the run made
// (its F lines, noted first, innermost first) go last, after the record,
// which lies in them.
void Replay(const char* folder, bool commit) {
  char record[kPathSize];
  if (!PathInFolder(record, folder, kRecordName)) return;
  FILE* file = FsOpenShared(record);
  if (file == nullptr) return;
  long end = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
  DWORD length = end > 0 ? static_cast<DWORD>(end) : 0;
  char* text = end >= 0 ? static_cast<char*>(ZeroAlloc(length + 1)) : nullptr;
  bool loaded = text != nullptr && fseek(file, 0, SEEK_SET) == 0 && fread(text, 1, length, file) == length;
  fclose(file);
  if (!loaded) {
    FreeStorage(text);
    return;
  }
  // No name holds a tab, so only the C line ends in one.
  bool committed = commit || (length >= 4 && std::memcmp(text + length - 4, "C\t\r\n", 4) == 0);
  // From the end: each line break becomes a terminator, and a line is
  // carried out once its start is reached, its end terminated already.
  bool whole = true;
  for (DWORD i = length; i-- > 0;) {
    if (text[i] == '\r' || text[i] == '\n') text[i] = '\0';
    if (i != 0 && text[i - 1] != '\n') continue;
    // Thousands of files may be put back or deleted: the dialog answers
    // meanwhile, but nothing stops this half-way.
    ServeRunningInstallation(false);
    if (!CarryOut(text + i, folder, committed)) whole = false;
  }
  if (whole || committed) {
    // Only the record and the kept files, all gone by now, were in the
    // run's own folder.
    char own[kPathSize];
    bool gone = DeleteFileA(record) != 0;
    if (PathInFolder(own, folder, kOwnFolder)) RemoveDirectoryA(own);
    for (char* line = text; gone && !committed && line < text + length; line += std::strlen(line) + 1) {
      if (line[0] == 'F' && line[1] == '\t') RemoveDirectoryA(line + 2);
    }
  }
  FreeStorage(text);
}

void CloseRecord(UndoJournal* journal) {
  if (journal->record != INVALID_HANDLE_VALUE) CloseHandle(journal->record);
  journal->record = INVALID_HANDLE_VALUE;
}

}  // namespace

bool BeginChanges(UndoJournal* journal, const char* folder) {
  journal->record = INVALID_HANDLE_VALUE;
  journal->kept = 0;
  journal->crowded = 0;
  CopyWithoutTrailingSeparators(journal->folder, folder);
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
  if (PathInFolder(own, journal->folder, kOwnFolder) && PathInFolder(record, journal->folder, kRecordName) &&
      (CreateDirectoryA(own, nullptr) ? SetFileAttributesA(own, FILE_ATTRIBUTE_HIDDEN) != 0
                                      : (journal->crowded = GetLastError() == ERROR_ALREADY_EXISTS) != 0)) {
    // Never over a record that an earlier run's recovery could not finish
    // (a file in use): what it kept aside would be forgotten.
    journal->record = CreateFileA(record, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
  }
  bool begun = journal->record != INVALID_HANDLE_VALUE;
  if (!begun) RemoveDirectoryA(own);
  // Innermost first, the order in which they can be removed again.
  CopyBounded(level, journal->folder, sizeof level);
  for (int n = 0; n < missing; ++n, CutLastComponent(level)) {
    if (begun) {
      Note(journal, 'F', level, nullptr);
    } else {
      RemoveDirectoryA(level);
    }
  }
  return begun;
}

bool MakeWayFor(UndoJournal* journal, const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (journal == nullptr) {
    Delete(path);
    return true;
  }
  const char* name = path + FileNameOffset(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Note(journal, 'N', name, nullptr);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  // A number no file in the run's folder has: the next one in a folder of
  // the run's own making, else the next one free. MoveFileA never replaces
  // a file that took it since.
  char kept[kLongestOwnName + 1];
  char kept_path[kPathSize];
  do {
    if (++journal->kept == 0) return false;
    wsprintfA(kept, "tw-undo\\%x.tmp", journal->kept);
    if (!PathInFolder(kept_path, journal->folder, kept)) return false;
  } while (journal->crowded && Exists(kept_path));
  return Note(journal, 'K', kept, name) && MoveFileA(path, kept_path);
}

void RenameNoted(UndoJournal* journal, const char* name, const char* moved) {
  char from[kPathSize];
  char to[kPathSize];
  if (!PathInFolder(from, journal->folder, name) || !PathInFolder(to, journal->folder, moved)) return;
  if (!Exists(from) || Exists(to)) return;
  if (Note(journal, 'M', moved, name)) MoveFileA(from, to);
}

void CommitChanges(UndoJournal* journal) {
  if (journal->record == INVALID_HANDLE_VALUE) return;
  // Written for a run ended from outside while the kept files are being
  // deleted: the next run then deletes the rest instead of undoing.
  Note(journal, 'C', "", nullptr);
  CloseRecord(journal);
  Replay(journal->folder, true);
}

void UndoChanges(UndoJournal* journal) {
  if (journal->record == INVALID_HANDLE_VALUE) return;
  CloseRecord(journal);
  Replay(journal->folder, false);
}

void RecoverInterruptedRun(const char* folder) {
  char normal[kPathSize];
  CopyWithoutTrailingSeparators(normal, folder);
  Replay(normal, false);
}
