// The rules for the names of archive entries, shared by the installer (its
// description pass and its placement of files) and by mksetup (build,
// test and extract), so that a name one of them takes the others take too;
// mksetup adds stricter rules of its own.
// Names are Windows-1252 texts with '\' (or '/') between folders.
#pragma once

#include <cstddef>

// What is wrong with a name; 0 for nothing. The installer refuses the
// faults up to kNameFolder: Windows would write such a name under another
// one, open a device or a stream for it, or create no file at all.
enum EntryNameFault {
  kNameFine = 0,
  kNameStream = 1,    // a colon: a drive, or a stream of another file
  kNameTrailing = 2,  // a component ends in a dot or a blank, which Windows drops
  kNameDevice = 3,    // a component Windows opens as a device (CON, NUL.TXT, COM1 ...)
  kNameFolder = 4,    // ends in a separator (for mksetup also in "."): names a folder
  // mksetup refuses these as well, its own stricter rules (AuthorNameFault,
  // tools/entry_name_check.h): written under a folder the user chose, such
  // names could land outside it. The installer places only the file-name
  // part of a name, so they lead it nowhere but into the destination.
  kNameEmpty = 5,
  kNameAbsolute = 6,   // starts with a separator
  kNameCharacter = 7,  // a control character, or * ? " < > |, which Windows refuses
  kNameParent = 8,     // a component of dots and blanks only: ".." to Windows
  // Of a pass, not of one name: Windows would write it into the file of an
  // earlier entry whose name differs only in case (FoldEntryName).
  kNameTaken = 9,
};

// The installer's rules: faults kNameStream to kNameFolder.
int InstallerNameFault(const char* name);

// True when `component` (of `length` bytes, no separator in it) is a name
// Windows opens as a device, whatever extension, trailing dots or blanks
// follow and in any case: CON, PRN, AUX, NUL, CONIN$, CONOUT$, and COM or
// LPT with a digit, the superscripts one to three included.
bool IsDeviceName(const char* component, size_t length);

// The name as Windows compares file names: every letter in upper case
// (Windows-1252) and '\' between folders, into `out` of `size` bytes, cut
// to fit.
void FoldEntryName(const char* name, char* out, size_t size);

// True when `text` ends in `tail` with at least one character before it,
// compared without regard to case: a name that is only ".INF" is no
// settings file.
bool EndsWithNoCase(const char* text, const char* tail);
