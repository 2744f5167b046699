#include "common/windows1252.h"

#include <gtest/gtest.h>

namespace {

// Every byte maps to a code point and back to itself: names and texts
// survive a trip through UTF-16 unchanged.
TEST(Windows1252, EveryByteRoundTrips) {
  for (int byte = 0; byte < 256; ++byte) {
    uint8_t back = 0;
    ASSERT_TRUE(UnicodeToWindows1252(Windows1252ToUnicode(static_cast<uint8_t>(byte)), &back)) << byte;
    EXPECT_EQ(back, byte);
  }
}

// The 32 bytes where the code page differs from Latin-1, typed as the
// characters they show; the five bytes it leaves undefined stand for
// themselves. Elsewhere it is Latin-1, and characters outside it have no
// byte.
TEST(Windows1252, TheBytesFrom0x80To0x9FAreTheirOwnCharacters) {
  const char16_t kShown[] = u"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ";
  static_assert(sizeof kShown / sizeof kShown[0] == 33, "32 characters and the terminator");
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(Windows1252ToUnicode(static_cast<uint8_t>(0x80 + i)), kShown[i]) << "byte 0x" << std::hex << 0x80 + i;
  }
  EXPECT_EQ(Windows1252ToUnicode(0xE4), 0x00E4);  // a umlaut, as in Latin-1
  uint8_t byte = 0;
  EXPECT_FALSE(UnicodeToWindows1252(0x0100, &byte));  // A macron is not in the code page
  EXPECT_FALSE(UnicodeToWindows1252(0x0080, &byte));  // 0x80 is the euro sign, not U+0080
  EXPECT_FALSE(UnicodeToWindows1252(0x4E2D, &byte));
}

}  // namespace
