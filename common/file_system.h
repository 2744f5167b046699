// The few operating-system services the portable code needs. One Win32 and
// one POSIX implementation; nothing else in common/, archive/ or unpack/
// talks to the system directly.
//
// Paths are 8-bit texts in the system's ANSI code page. The POSIX side reads
// both '\' and '/' as separators (archive names use '\'), so a file name
// with a literal backslash cannot be named there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#ifdef _WIN32
typedef wchar_t WideChar;  // UTF-16 on Windows
#else
typedef char16_t WideChar;
#endif

// Writes the full (absolute, normalised) form of `path` to `out`, a buffer of
// `size` bytes. Returns its length, or 0 when it cannot be made or does not
// fit; `out` is then unspecified. The path need not exist.
size_t FsFullPath(const char* path, char* out, size_t size);

// Converts the ANSI text to UTF-16, at most capacity - 1 characters, and
// terminates the result. POSIX reads the text as Windows-1252.
void FsToWide(WideChar* destination, const char* source, size_t capacity);

// True when a file or folder exists at `path`.
bool FsExists(const char* path);

// True when `path` itself is a symbolic link (on Windows: any reparse
// point, junctions included), whatever it leads to.
bool FsIsLink(const char* path);

// Opens the file for binary reading, letting others read it too but not
// write it while it is open. Null when it cannot be opened.
FILE* FsOpenShared(const char* path);

// Creates the file, or replaces an existing one, for binary reading and
// writing ("w+b"). Null when it cannot be created. On POSIX a symbolic link
// at `path` is never followed (the call fails instead), and an existing
// file is removed and made anew rather than truncated, so that nothing
// written reaches another name of it.
FILE* FsCreateFile(const char* path);

// Deletes the file; true when it is gone.
bool FsDeleteFile(const char* path);

// The system's code for why the last call failed (GetLastError, errno).
uint32_t FsLastError();

// Closes a file made by FsCreateFile after giving it its last-write time
// from an MS-DOS time stamp (date in the high 16 bits, time in the low 16
// bits) read as local time; other times stay. The time goes through the
// open file, after its last bytes have left the stream and before the
// close, so no later write moves it and no second open is needed. Returns
// false when bytes were lost (the flush or the close failed); a time that
// cannot be set is silent: it is a courtesy, not part of the content.
bool FsCloseWithDosTime(FILE* file, uint32_t dos_time);

// Gives a file that FsCreateFile has just made its Windows attribute bits.
// Creation leaves a file with the archive bit alone, so those attributes
// need no call. On POSIX only the read-only bit (0x01) means something: it
// takes away every write permission, through a descriptor opened without
// following a link, and only from a file with no other name.
void FsSetNewFileAttributes(const char* path, uint32_t attributes);
