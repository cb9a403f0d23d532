// Run-unique tokens for the target-directory template: {PID}, {TIME}, {TIME_US}, {RANDOM}.
// Each is fixed once per run in the parent and reaches the child through the handoff
// environment (launcher/env.h). The pure encoders below need no clock and no operating system.
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

// The placeholder values, as wide strings valid until the process ends. Each of TIME,
// TIME_US and RANDOM is computed the first time and stored in its variable, then read back.
// get_run_pid aborts when VELDRO_ONEFILE_PARENT holds anything but decimal digits.
const wchar_t* get_run_pid();
const wchar_t* get_run_time();
const wchar_t* get_run_time_us();
const wchar_t* get_run_random();
