#include "common/windows1252.h"

namespace {

// 0x80..0x9F are the only bytes that differ from Latin-1.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

uint16_t Windows1252ToUnicode(uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

bool UnicodeToWindows1252(uint32_t code_point, uint8_t* byte) {
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == code_point) {
      *byte = static_cast<uint8_t>(0x80 + i);
      return true;
    }
  }
  // Latin-1 code points 0x80..0x9F are taken by the table above (only the
  // five undefined bytes map to themselves, and the loop found those).
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    *byte = static_cast<uint8_t>(code_point);
    return true;
  }
  return false;
}
