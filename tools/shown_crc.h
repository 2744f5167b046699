// A CRC-32 as mksetup shows it, in its messages and its JSON alike: "0x"
// and eight upper-case hexadecimal digits, so that values line up and can
// be compared by eye or by a script as text.
#pragma once

#include <cstdint>
#include <string>

std::string ShownCrc(uint32_t crc);
