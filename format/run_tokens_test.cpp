// The run-unique tokens' encodings, clock-free: known seeds give known bytes and tokens, known
// system times give their {TIME} and {TIME_US} texts.
#include "format/run_tokens.h"

#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <vector>

namespace {

TEST(RunTokens, SeedsGiveTheKnownBytesAndTokens) {
  const struct {
    uint32_t seed;
    std::vector<uint8_t> bytes;  // empty: not listed
    const wchar_t* token;
  } cases[] = {
      {0, {0x21, 0x01, 0xC5, 0x4F, 0xD1, 0xD0, 0x1A, 0xB2}, L"IQHFT9HQGrI"},  // 0 counts as 1
      {1, {0x21, 0x01, 0xC5, 0x4F, 0xD1, 0xD0, 0x1A, 0xB2}, L"IQHFT9HQGrI"},
      {2, {}, L"QgKCBhojWbY"},
  };
  for (const auto& c : cases) {
    uint8_t bytes[kRandomBytes];
    random_bytes_from_seed(c.seed, bytes);
    if (!c.bytes.empty()) {
      EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + kRandomBytes), c.bytes);
    }
    wchar_t token[kRandomTokenChars + 1];
    encode_random_token(bytes, token);
    EXPECT_EQ(std::wstring(token), c.token) << "seed " << c.seed;
  }
}

TEST(RunTokens, TimesGiveTheirTexts) {
  const struct {
    int64_t filetime;
    const wchar_t* time;
    const wchar_t* time_us;
  } cases[] = {
      {133000000001234567, L"133000000001234567", L"123456"},
      {133000000000000059, L"133000000000000059", L"000005"},
      {133000000000000000, L"133000000000000000", L"000000"},  // a whole second
      {133000000009999999, L"133000000009999999", L"999999"},
      {9, L"9", L"000000"},
      {INT64_MAX, L"9223372036854775807", L"477580"},
  };
  for (const auto& c : cases) {
    wchar_t text[kTimeTextUnits];
    format_run_time(c.filetime, text);
    EXPECT_EQ(std::wstring(text), c.time);
    format_run_time_us(c.filetime, text);
    EXPECT_EQ(std::wstring(text), c.time_us) << c.filetime;
  }
}

}  // namespace
