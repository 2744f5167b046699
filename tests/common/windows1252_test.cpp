#include "common/windows1252.h"

#include <gtest/gtest.h>

namespace {

// Every byte maps to a code point and back to itself: names and texts
// survive a trip through UTF-16 unchanged.
TEST(Windows1252, EveryByteRoundTrips) {
  for (int byte = 0; byte < 256; ++byte) {
    uint8_t back = 0;
    ASSERT_TRUE(UnicodeToWindows1252(Windows1252ToUnicode(static_cast<uint8_t>(byte)), &back))
        << byte;
    EXPECT_EQ(back, byte);
  }
}

TEST(Windows1252, KnownCharacters) {
  EXPECT_EQ(Windows1252ToUnicode(0x80), 0x20AC);  // euro sign
  EXPECT_EQ(Windows1252ToUnicode(0xE4), 0x00E4);  // a umlaut, as in Latin-1
  EXPECT_EQ(Windows1252ToUnicode(0x9F), 0x0178);
  uint8_t byte = 0;
  EXPECT_FALSE(UnicodeToWindows1252(0x0100, &byte));  // A macron is not in the code page
  EXPECT_FALSE(UnicodeToWindows1252(0x0080, &byte));  // 0x80 is the euro sign, not U+0080
  EXPECT_FALSE(UnicodeToWindows1252(0x4E2D, &byte));
}

}  // namespace
