// Windows-1252, the ANSI code page of the texts and names this system uses.
#pragma once

#include <cstdint>

// The Unicode code point of a Windows-1252 byte. The five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to themselves, as
// Windows does.
uint16_t Windows1252ToUnicode(uint8_t byte);

// The Windows-1252 byte for a code point; false when it has none.
bool UnicodeToWindows1252(uint32_t code_point, uint8_t* byte);
