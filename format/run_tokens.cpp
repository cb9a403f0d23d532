// Run-token encoding (see run_tokens.h).
#include "format/run_tokens.h"

#include <wchar.h>

namespace {

const char kBase64Url[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

}  // namespace

void random_bytes_from_seed(uint32_t seed, uint8_t bytes[kRandomBytes]) {
  uint32_t x = seed == 0 ? 1 : seed;
  for (int i = 0; i < kRandomBytes; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<uint8_t>(x);
  }
}

void encode_random_token(const uint8_t bytes[kRandomBytes], wchar_t token[kRandomTokenChars + 1]) {
  // Two groups of three bytes give four characters each; the last two bytes give three, the
  // final one carrying the low four bits of byte 7 and two zero bits.
  int out = 0;
  for (int i = 0; i < kRandomBytes; i += 3) {
    int count = (kRandomBytes - i) >= 3 ? 3 : kRandomBytes - i;
    uint32_t group = 0;
    for (int k = 0; k < 3; ++k) group = (group << 8) | (k < count ? bytes[i + k] : 0);
    for (int k = 0; k <= count; ++k) token[out++] = kBase64Url[(group >> (18 - 6 * k)) & 0x3F];
  }
  token[out] = L'\0';
}

long microsecond_of_second(int64_t filetime) {
  int64_t microseconds = filetime / 10;
  return static_cast<long>(microseconds - (microseconds / 1000000) * 1000000);
}

void format_run_time(int64_t filetime, wchar_t text[kTimeTextUnits]) {
  swprintf(text, kTimeTextUnits, L"%lld", static_cast<long long>(filetime));
}

void format_run_time_us(int64_t filetime, wchar_t text[kTimeTextUnits]) {
  swprintf(text, kTimeTextUnits, L"%06ld", microsecond_of_second(filetime));
}
