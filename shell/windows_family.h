// Which family of Windows runs the program: the two differ in how files are
// moved, and in which edition of a product suits them.
#pragma once

#include <windows.h>

// 0 on the Windows 9x family, non-zero on the NT family.
int DetectWindowsFamily();
