// What an installation changes in its folder, written down before each
// change so that it can be taken back: a file that the run replaces is
// first kept aside in the same folder (in a hidden folder of the run's own,
// tw-undo) under a temporary name, and every file the run adds and every
// folder it makes is noted. The notes are a record file there too, so that
// they survive a run that is ended from outside; the next run into the
// folder finds it and finishes what it says before anything else.
//
// The record is one line per change, fields separated by tabs (which no
// file name holds), in the order made:
//   F <folder>          a folder the run made (a full path), innermost first
//   K <kept> <name>     the earlier <name> was kept aside as <kept>
//   M <moved> <name>    <name> was given the lasting name <moved>
//   N <name>            <name> did not exist before
//   C                   the run succeeded: the kept files are to go
// Undoing walks the lines from the last to the first, so a name the run
// replaced twice (two entries of one name) ends as it was before the run;
// the folders go after the record, which lies in them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The longest name a run adds to the folder for itself: a kept file in
// the run's own folder, "tw-undo\" followed by up to 8 hexadecimal digits
// and ".tmp". The record, "tw-undo\record.tmp", is shorter. None holds a
// '~': Wine reads the whole folder for a name that could be a short 8.3
// name (FILE~1.TXT).
constexpr size_t kLongestOwnName = 20;

struct UndoJournal {
  HANDLE record;     // open from BeginChanges to the end; else INVALID_HANDLE_VALUE
  uint32_t kept;     // the number of the last kept file
  uint32_t crowded;  // the run's own folder was there before: its numbers may be taken
  char folder[260];  // the folder changed, without a trailing separator
};

// Makes `folder` and its missing parents, noting each, and starts the
// record there. False (nothing left behind) when the folder cannot be
// made or the record cannot be written, also while an earlier run's record
// is still there, unfinished.
bool BeginChanges(UndoJournal* journal, const char* folder);

// Clears the way for a new file at `path` in the journal's folder: an
// existing file is kept aside, a missing one noted as new. False when an
// existing file cannot be kept aside (a folder of that name, or a file in
// use): the new file must not be written then. A null journal (a folder
// no one needs back, like the temporary one) just deletes what is there.
bool MakeWayFor(UndoJournal* journal, const char* path);

// Renames `name` in the folder to `moved` for good, unless `moved` exists
// already or `name` does not; undone like the rest.
void RenameNoted(UndoJournal* journal, const char* name, const char* moved);

// The run succeeded: deletes the kept files (one still in use is deleted
// at the next restart) and the record.
void CommitChanges(UndoJournal* journal);

// The run failed or was cancelled: puts the folder back as it was.
void UndoChanges(UndoJournal* journal);

// Finishes the record that an interrupted run left in `folder`, if any:
// undone, or committed when the run had got that far.
void RecoverInterruptedRun(const char* folder);
