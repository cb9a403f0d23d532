// Trimming of the system's error text: trailing CR and LF go, nothing else does.
#include <gtest/gtest.h>

#include <string.h>

#include "launcher/report.h"

TEST(TrimLineBreaks, RemovesOnlyTrailingCarriageReturnsAndLineFeeds) {
  struct Case {
    const char* text;
    const char* trimmed;
  };
  const Case cases[] = {
      {"File not found.\r\n", "File not found."},
      {"two lines\r\nsecond\r\n", "two lines\r\nsecond"},
      {"no break", "no break"},
      {"ends in blank \r\n", "ends in blank "},
      {"\n\r\n", ""},
      {"", ""},
      {"lf only\n\n", "lf only"},
  };
  for (const Case& c : cases) {
    char buffer[64];
    strcpy(buffer, c.text);
    trim_line_breaks(buffer, static_cast<uint32_t>(strlen(buffer)));
    EXPECT_STREQ(buffer, c.trimmed) << "input: " << c.text;
  }
}
