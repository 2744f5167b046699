#include "common/product_name.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Each name as a package may give it: what trimming leaves, and whether
// that can name the product's folder, shortcuts and uninstall key.
TEST(ProductName, TrimmedAndJudged) {
  struct Case {
    const char* given;
    const char* trimmed;
    bool usable;
    const char* why;
  };
  const Case cases[] = {
      {"Tolvenwark Demo", "Tolvenwark Demo", true, "an ordinary name"},
      {"Tolvenwark Demo  ", "Tolvenwark Demo", true, "blanks after the name, or where it was cut"},
      {"Tolvenwark Demo...", "Tolvenwark Demo", true, "dots after the name"},
      {"Demo . .", "Demo", true, "blanks and dots mixed"},
      {"v1.0 Caf\xE9", "v1.0 Caf\xE9", true, "dots inside and characters above 127"},
      {" Demo", " Demo", true, "a leading blank stays: Windows keeps it"},
      {" . ", "", false, "nothing but blanks and dots"},
      {"", "", false, "an empty name"},
      {"Tolvenwark/Demo", "Tolvenwark/Demo", false, "a separator nests folders"},
      {"..\\Escape", "..\\Escape", false, "climbs out of the Programs folder"},
      {"A..B", "A..B", false, "\"..\" anywhere"},
      {"Demo: Pro", "Demo: Pro", false, "a colon names a drive or a stream"},
      {"Demo\tPro", "Demo\tPro", false, "a control character"},
      {"Demo*", "Demo*", false, "a wildcard"},
      {"Demo?", "Demo?", false, "a wildcard"},
      {"\"Demo\"", "\"Demo\"", false, "quotes"},
      {"<Demo>", "<Demo>", false, "angle brackets"},
      {"Demo|Pro", "Demo|Pro", false, "a pipe"},
  };
  for (const Case& c : cases) {
    char name[32];
    std::strcpy(name, c.given);
    TrimProductName(name);
    EXPECT_STREQ(name, c.trimmed) << c.why;
    EXPECT_EQ(IsUsableProductName(name), c.usable) << c.why;
  }
  EXPECT_FALSE(IsUsableProductName("Demo ")) << "untrimmed";
  EXPECT_FALSE(IsUsableProductName("Demo.")) << "untrimmed";
}

}  // namespace
