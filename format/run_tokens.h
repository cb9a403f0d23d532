// The clock-free part of the run-unique tokens of the directory template: {RANDOM} from a seed
// (xorshift32, base64url), and the texts of {TIME} and {TIME_US} from a system time. Portable;
// the launcher supplies the seed and the clock (dirspec/run_tokens.cpp).
#pragma once

#include <stdint.h>

constexpr int kRandomBytes = 8;
constexpr int kRandomTokenChars = 11;

// The eight bytes an xorshift32 generator gives from seed (0 counts as 1).
void random_bytes_from_seed(uint32_t seed, uint8_t bytes[kRandomBytes]);

// base64url without padding of the eight bytes: eleven characters and a terminator.
void encode_random_token(const uint8_t bytes[kRandomBytes], wchar_t token[kRandomTokenChars + 1]);

// The microsecond within the current second of a system time in 100 ns units since 1601.
long microsecond_of_second(int64_t filetime);

// Room for the text of a {TIME} or {TIME_US} value: "%lld" of any 64-bit count fits.
constexpr int kTimeTextUnits = 24;

// {TIME}: the count of 100 ns units since 1601 as plain signed decimal ("%lld").
void format_run_time(int64_t filetime, wchar_t text[kTimeTextUnits]);

// {TIME_US}: the microsecond within the second of that count, six digits ("%06ld").
void format_run_time_us(int64_t filetime, wchar_t text[kTimeTextUnits]);
