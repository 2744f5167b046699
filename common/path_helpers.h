// Path operations on 8-bit ANSI texts in caller-owned buffers. Both '\' and
// '/' are read as separators; '\' is the one written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/file_system.h"

// Every path buffer of the program holds this many bytes, terminator included.
constexpr size_t kPathSize = 260;

bool IsPathSeparator(char c);

// Appends '\' unless the path is empty or already ends with a separator.
// `size` is the whole buffer: when the separator and its terminator do not
// both fit, the path is left as it is and false is returned.
bool AddTrailingSeparator(char* path, size_t size);

// `folder` into `out` (kPathSize bytes) without the separators at its end;
// a drive's root keeps its own ("C:\\"), which makes it the root.
void CopyWithoutTrailingSeparators(char* out, const char* folder);

// Drops the last component: C:\A\B -> C:\A, C:\A -> C:\ (a drive root keeps
// its separator), C:\A\ -> C:\A, NAME -> "".
void CutLastComponent(char* path);

// Offset of the file-name part: just after the last separator, else 0.
uint16_t FileNameOffset(const char* path);

// Appends `name` to the folder in `destination` (a buffer of `size` bytes)
// with one separator between them; one leading separator of the name is
// dropped. Returns 0 when there was nothing to do, else the AppendBounded
// outcome; kTextNoRoom with the destination unchanged when not even the
// separator fits.
int JoinPath(char* destination, const char* name, size_t size);

// `name` in `folder` into `path` (kPathSize bytes). False when it does not
// fit whole: a cut path would name another file.
bool PathInFolder(char* path, const char* folder, const char* name);

// True for a path that names its drive and starts at its root (C:\...) or
// names a network share (\\server\share...): the only forms that mean the
// same folder whatever the process's current drive and folder.
bool IsFullyQualifiedPath(const char* path);

// True for a fully qualified path that names a drive's root or a share's
// (C:\, \\server\share, with or without separators after them).
bool IsRootFolder(const char* path);

// Replaces the path (in a buffer of kPathSize bytes) with its full form. A
// full form that does not fit the buffer, or that the system cannot make,
// leaves the path as it was; the result is then -1, else 0.
int MakeFullPath(char* path);

// Converts the ANSI text to UTF-16 in `destination` (`capacity` characters);
// at most capacity - 1 characters are written and the last one is always 0.
void ToWide(WideChar* destination, const char* source, size_t capacity);

// 0 when the path names an existing file or folder, -1 when it does not.
int CheckFileExists(const char* path);
