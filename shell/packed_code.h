// Language codes and edition folder prefixes travel as up to four ASCII
// characters packed into 32 bits, the first character in the lowest byte:
// "US" is 0x5355, "DE" is 0x4544, "xp" is 0x7078. Unused bytes are 0.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kCodeEnglish = 0x5355;  // "US"
constexpr uint32_t kCodeGerman = 0x4544;   // "DE"

// Packs the first `count` characters of `text` (at most 4, fewer when the
// text ends first).
uint32_t PackCode(const char* text, size_t count);

// The code's bytes as a text: up to four characters and a terminator.
void UnpackCode(uint32_t code, char text[5]);
