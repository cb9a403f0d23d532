// Trimming of the system's error text: trailing CR and LF go, nothing else does.
#include <gtest/gtest.h>

#include <wchar.h>

#include "launcher/report.h"

TEST(TrimLineBreaks, RemovesOnlyTrailingCarriageReturnsAndLineFeeds) {
  struct Case {
    const wchar_t* text;
    const wchar_t* trimmed;
  };
  const Case cases[] = {
      {L"File not found.\r\n", L"File not found."},
      {L"two lines\r\nsecond\r\n", L"two lines\r\nsecond"},
      {L"no break", L"no break"},
      {L"ends in blank \r\n", L"ends in blank "},
      {L"\n\r\n", L""},
      {L"", L""},
      {L"lf only\n\n", L"lf only"},
  };
  for (const Case& c : cases) {
    wchar_t buffer[64];
    wcscpy(buffer, c.text);
    trim_line_breaks(buffer);
    EXPECT_STREQ(buffer, c.trimmed) << "case " << (&c - cases);
  }
}
