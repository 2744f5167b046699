#include "common/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct AppendCase {
  const char* reason;
  const char* start;
  const char* source;
  size_t size;
  const char* expected;
  int result;
};

const AppendCase kAppendCases[] = {
    {"fits exactly", "ABC", "XYZ", 7, "ABCXYZ", kTextWhole},
    {"room for two of three", "ABC", "XYZ", 6, "ABCXY", kTextTruncated},
    {"destination already full", "ABC", "XYZ", 4, "ABC", kTextNoRoom},
    {"size 0 changes nothing", "ABC", "XYZ", 0, "ABC", kTextWhole},
    {"empty source", "ABC", "", 4, "ABC", kTextNoRoom},
    {"empty source with room", "ABC", "", 8, "ABC", kTextWhole},
    {"empty destination, one byte of room", "", "XYZ", 2, "X", kTextTruncated},
    {"size 1 holds only the terminator", "", "XYZ", 1, "", kTextNoRoom},
};

TEST(AppendBounded, Cases) {
  for (const AppendCase& c : kAppendCases) {
    // Guard bytes after `size` catch any write past the buffer.
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    strcpy(buffer, c.start);
    int result = AppendBounded(buffer, c.source, c.size);
    EXPECT_EQ(result, c.result) << c.reason;
    EXPECT_STREQ(buffer, c.expected) << c.reason;
    for (size_t i = std::max(c.size, strlen(c.start) + 1); i < sizeof buffer; ++i) {
      EXPECT_EQ(buffer[i], '#') << c.reason << ": byte " << i << " written";
    }
  }
}

TEST(CopyBounded, ReplacesAndBounds) {
  char buffer[8] = "OLDTEXT";
  EXPECT_EQ(CopyBounded(buffer, "NEW", sizeof buffer), kTextWhole);
  EXPECT_STREQ(buffer, "NEW");
  EXPECT_EQ(CopyBounded(buffer, "MUCH TOO LONG", sizeof buffer), kTextTruncated);
  EXPECT_STREQ(buffer, "MUCH TO");
  // Size 0 still empties the destination, and reports success.
  EXPECT_EQ(CopyBounded(buffer, "X", 0), kTextWhole);
  EXPECT_STREQ(buffer, "");
}

}  // namespace
