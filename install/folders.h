// Folder creation and the shell's file operations used while installing.
#pragma once

#include <windows.h>

#include <cstddef>

#include "install/undo_journal.h"

// Results of CreateFolderPath.
enum CreateFolderResult {
  kFolderCreated = 0,      // the folder was made now
  kFolderNotCreated = 2,   // it exists, or cannot be made, or its missing
                           // parent would be a drive root
  kFolderParentsOnly = 3,  // missing parents were made, the folder then failed
};

// Creates the folder and every missing parent, outermost first.
int CreateFolderPath(const char* path);

// Writes into `out` (`size` bytes) the system temporary folder followed by
// the smallest lower-case hexadecimal number, from 1, that names nothing yet.
// The folder is not created. Returns 0; -1 with the empty text when the
// system names no temporary folder or the number would not fit whole.
int MakeTempFolderName(char* out, size_t size);

// Moves `source` to `target` with the shell, without confirmations. 0 when
// the move succeeded and was not aborted, else -1 (also when a path does not
// fit the shell's 260-byte path list, rather than move a cut path).
int ShellMove(HWND owner, const char* source, const char* target);

// Deletes the file or folder (with its content) for good, without questions.
// Does nothing when the path does not exist or is too long to pass whole.
void ShellDelete(const char* path);

// Moves every file directly in `from` into the journal's folder, keeping
// aside the files of the same names there (read-only ones too), then
// removes the emptied `from` (the installing pass writes files only: there
// are no subfolders to carry). Returns 0 when every file was moved; else
// the system's error code, with the target that could not be written in
// `failed` (kPathSize bytes) and the rest left in `from`; ERROR_CANCELLED
// when the user stopped the installation meanwhile.
DWORD MoveFilesInto(const char* from, UndoJournal* journal, char* failed);

// Renames an existing PSAPI.DLL in the journal's folder to KVPSAPI.DLL so
// the install can write its own. Nothing changes when either name makes
// that impossible.
void MoveAsidePsapi(UndoJournal* journal);

// True when `path` is a PSAPI.DLL that MoveAsidePsapi renames aside
// instead of replacing: there is no KVPSAPI.DLL beside it yet.
bool IsPsapiMovedAside(const char* path);

// Shows the system's text for `code` (0: the thread's last error) with an
// error icon and `buttons` (MB_OK, MB_RETRYCANCEL). Returns the box's
// result; 0 when there is no code, 2 when the system has no text for it.
int ShowSystemError(HWND owner, DWORD code, const char* caption, UINT buttons = MB_OK);
