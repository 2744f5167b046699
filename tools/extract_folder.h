// The folder that mksetup extract writes into, held so that nothing found
// in it or put into it while the extraction runs can lead a file outside:
// on POSIX every folder on the way is opened below the one before it
// without following a link, each file is written new beside its name
// through the folder that was opened and renamed over the name only when
// whole; on Windows a folder or file that is a reparse point (a link or a
// junction) is refused on the way.
#pragma once

#include <string>

struct OutputFolder {
  std::string path;  // full, ending in a separator, for messages
#ifndef _WIN32
  int descriptor = -1;  // the folder itself, open for the whole extraction
#endif
};

// Where one entry's file is written, and the name it gets when whole.
struct EntryPlace {
  std::string shown;      // the final path, for messages
  std::string temporary;  // the path the extraction pass creates and writes
#ifndef _WIN32
  int folder = -1;   // the entry's folder, open while the file is written
  std::string leaf;  // its file name there
  std::string temporary_leaf;
#else
  std::string final_path;
#endif
};

// Makes the folder when missing and opens it. False, with `error` set, when
// it cannot be used.
bool OpenOutputFolder(const std::string& path, OutputFolder* folder, std::string* error);
void CloseOutputFolder(OutputFolder* folder);

// Makes every folder of `name` (an archive name: '\' separators, Windows-1252)
// under the output folder. Returns "" or why it is refused.
std::string MakeEntryFolders(const OutputFolder& folder, const std::string& name);

// Makes the folders of a file entry and chooses where its bytes go: a new
// file beside its name. Returns "" or why the entry is refused; `place` is
// then left unset.
std::string PrepareEntryFile(const OutputFolder& folder, const std::string& name, EntryPlace* place);

// Gives the written file its name, replacing what held it (never writing
// into it), and releases the place. Returns "" or what went wrong.
std::string PutEntryInPlace(EntryPlace* place);

// Releases the place of an entry that was not written whole; its new file,
// if any is left, is removed.
void AbandonEntryPlace(EntryPlace* place);

// The archive name as a path of this system: '/' between folders on POSIX,
// whose names are UTF-8; on Windows the name as it is.
std::string NativeName(const std::string& name);
