// The target-directory template and its run-unique tokens, in process under Wine: the token
// vectors without a clock, every template edge case in one table, the tokens' life in the
// environment, and the cases that end the process (in death-test children, abort exit 3).
#include <windows.h>

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "dirspec/expand.h"
#include "dirspec/tokens.h"
#include "base/build_inputs.h"
#include "base/env.h"

namespace {

constexpr int kAbortExitCode = 3;

std::wstring env_value(const wchar_t* name) {
  static wchar_t value[32768];
  DWORD n = GetEnvironmentVariableW(name, value, 32768);
  return n == 0 ? std::wstring() : std::wstring(value, n);
}

// Sets (or, for null, deletes) an environment variable for one test and restores it after.
struct ScopedEnv {
  std::wstring name;
  std::wstring saved;
  bool had;
  ScopedEnv(const wchar_t* n, const wchar_t* value) : name(n) {
    wchar_t probe[1];
    SetLastError(ERROR_SUCCESS);
    had = GetEnvironmentVariableW(n, probe, 1) != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    saved = env_value(n);
    SetEnvironmentVariableW(n, value);
  }
  ~ScopedEnv() { SetEnvironmentVariableW(name.c_str(), had ? saved.c_str() : nullptr); }
};

// Replaces the runtime's argv (what {PROGRAM} reads) for one test.
struct ScopedArgv0 {
  int saved_argc;
  wchar_t** saved_argv;
  wchar_t* vector[2];
  std::wstring storage;
  explicit ScopedArgv0(const wchar_t* argv0) : saved_argc(__argc), saved_argv(__wargv) {
    storage = argv0;
    vector[0] = &storage[0];
    vector[1] = nullptr;
    __argc = 1;
    __wargv = vector;
  }
  ~ScopedArgv0() {
    __argc = saved_argc;
    __wargv = saved_argv;
  }
};

struct Expansion {
  bool ok;
  std::wstring text;
};

Expansion expand(const std::wstring& spec, size_t capacity = 4096) {
  std::wstring out(capacity, L'#');
  bool ok = expand_dir_spec(&out[0], spec.c_str(), capacity);
  return {ok, std::wstring(out.c_str())};
}

bool all_digits(const std::wstring& text) {
  if (text.empty()) return false;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

bool is_random_token(const std::wstring& text) {
  const std::wstring alphabet = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  return text.size() == 11 && text.find_first_not_of(alphabet) == std::wstring::npos;
}

int64_t system_time_now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

// --- tokens without a clock -------------------------------------------------------------------

TEST(RunTokenEncoding, SeedsGiveTheKnownBytesAndTokens) {
  const uint8_t seed1_bytes[kRandomBytes] = {0x21, 0x01, 0xC5, 0x4F, 0xD1, 0xD0, 0x1A, 0xB2};
  struct Case {
    uint32_t seed;
    const wchar_t* token;
  };
  const Case cases[] = {{0, L"IQHFT9HQGrI"}, {1, L"IQHFT9HQGrI"}, {2, L"QgKCBhojWbY"}};
  for (const Case& c : cases) {
    uint8_t bytes[kRandomBytes];
    random_bytes_from_seed(c.seed, bytes);
    if (c.seed <= 1) {
      for (int i = 0; i < kRandomBytes; ++i) EXPECT_EQ(bytes[i], seed1_bytes[i]) << "byte " << i;
    }
    wchar_t token[kRandomTokenChars + 1];
    encode_random_token(bytes, token);
    EXPECT_EQ(std::wstring(token), c.token) << "seed " << c.seed;
  }
}

TEST(RunTokenEncoding, TimeValuesGiveTheirText) {
  struct Case {
    int64_t filetime;
    const wchar_t* time;
    const wchar_t* time_us;
  };
  const Case cases[] = {
      {133000000001234567, L"133000000001234567", L"123456"},
      {133000000000000059, L"133000000000000059", L"000005"},
      {133000000000000000, L"133000000000000000", L"000000"},  // a whole second
      {133000000009999999, L"133000000009999999", L"999999"},
      {9, L"9", L"000000"},
  };
  for (const Case& c : cases) {
    wchar_t text[kTimeTextUnits];
    format_run_time(c.filetime, text);
    EXPECT_EQ(std::wstring(text), c.time);
    format_run_time_us(c.filetime, text);
    EXPECT_EQ(std::wstring(text), c.time_us) << c.filetime;
  }
}

// --- the template table -------------------------------------------------------------------------

TEST(ExpandDirSpec, TemplateEdgeCases) {
  const std::wstring profile = env_value(L"USERPROFILE");
  const std::wstring local_app_data = env_value(L"LOCALAPPDATA");
  ASSERT_FALSE(profile.empty());
  ASSERT_FALSE(local_app_data.empty());
  const std::wstring long_name(1024, L'N');
  const std::wstring max_name(1023, L'N');
  const std::wstring over_long_tmp = L"C:\\" + std::wstring(300, L't');

  const wchar_t* kTemp = L"C:\\Users\\u\\AppData\\Local\\Temp\\";
  const std::wstring temp = L"C:\\Users\\u\\AppData\\Local\\Temp";
  struct Case {
    std::wstring spec;
    size_t capacity;
    bool ok;
    std::wstring text;
    const wchar_t* tmp;    // TMP for this case (GetTempPathW reads it first); null: kTemp
    const wchar_t* argv0;  // argv[0] for this case; null: left alone
  };
  const Case cases[] = {
      // The configured template: one backslash before onefile_ whatever the temp path ends in.
      {L"{TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM}", 4096, true, temp + L"\\onefile_4242_012345_abc",
       nullptr, nullptr},
      {L"{TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM}", 4096, true, L"C:\\onefile_4242_012345_abc",
       L"C:\\", nullptr},
      {L"{TEMP}\\onefile_{PID}", 4096, true, L"C:\\Users\\u\\T\\onefile_4242", L"C:\\Users\\u\\T",
       nullptr},
      // Names are matched whole and without regard to case.
      {L"{temp}", 4096, true, temp, nullptr, nullptr},
      {L"{Temp}|{pId}|{Random}|{time_us}", 4096, true, temp + L"|4242|abc|012345", nullptr, nullptr},
      {L"{TEMPX}", 4096, false, L"", nullptr, nullptr},
      // Literal text only, and the empty template.
      {L"plain literal text", 4096, true, L"plain literal text", nullptr, nullptr},
      {L"", 4096, true, L"", nullptr, nullptr},
      {L"", 1, true, L"", nullptr, nullptr},
      {L"a", 1, false, L"", nullptr, nullptr},
      // Unknown and empty names fail; the output keeps what came before them.
      {L"abc{}def", 4096, false, L"abc", nullptr, nullptr},
      {L"abc{FOO}def", 4096, false, L"abc", nullptr, nullptr},
      {L"{TEMP}\\{FOO}", 4096, false, temp + L"\\", nullptr, nullptr},
      // An unclosed placeholder vanishes; a second '{' starts the placeholder afresh.
      {L"abc{TEMP", 4096, true, L"abc", nullptr, nullptr},
      {L"abc{FOO", 4096, true, L"abc", nullptr, nullptr},
      {L"{X{TEMP}", 4096, true, temp, nullptr, nullptr},
      {L"{FOO{BAR{PID}x", 4096, true, L"4242x", nullptr, nullptr},
      // Room: literal text that does not fit is a false result with the output kept.
      {L"123456789", 10, true, L"123456789", nullptr, nullptr},
      {L"1234567890", 10, false, L"123456789", nullptr, nullptr},
      {L"{COMPANY}", 12, true, L"QuillBeacon", nullptr, nullptr},
      // A temp path that does not fit, or that the system cannot give (a TMP longer than
      // MAX_PATH), is an empty value: the expansion fails instead of going on without it.
      {L"ab\\\\{TEMP}cd", 12, false, L"ab\\\\", nullptr, nullptr},
      {L"{TEMP}\\onefile_{PID}", 4096, false, L"", over_long_tmp.c_str(), nullptr},
      // Trailing backslashes go only after TEMP, HOME and CACHE_DIR, and only at the end.
      {L"x\\{HOME}", 4096, true, L"x\\" + profile, nullptr, nullptr},
      {L"{HOME}", 4096, true, profile, nullptr, nullptr},
      {L"{CACHE_DIR}\\cache", 4096, true, local_app_data + L"\\cache", nullptr, nullptr},
      {L"{PROGRAM}", 4096, true, L"C:\\Apps\\", nullptr, L"C:\\Apps\\"},
      {L"{PROGRAM_DIR}|", 4096, true, L"C:\\Apps|", nullptr, L"C:\\Apps\\"},
      // {PROGRAM} is argv[0] as given; _BASE drops a final .exe, _DIR cuts at the last '\'.
      {L"{PROGRAM}", 4096, true, L"C:\\Apps\\tool.EXE", nullptr, L"C:\\Apps\\tool.EXE"},
      {L"{PROGRAM_BASE}", 4096, true, L"C:\\Apps\\tool", nullptr, L"C:\\Apps\\tool.EXE"},
      {L"{PROGRAM_DIR}", 4096, true, L"C:\\Apps", nullptr, L"C:\\Apps\\tool.EXE"},
      {L"{program_dir}\\x", 4096, true, L"C:\\Apps\\x", nullptr, L"C:\\Apps\\tool.EXE"},
      {L"{PROGRAM_BASE}", 4096, true, L"tool", nullptr, L"tool.exe"},
      {L"{PROGRAM_DIR}", 4096, true, L"tool.exe", nullptr, L"tool.exe"},
      {L"{PROGRAM_DIR}", 4096, true, L"C:", nullptr, L"C:\\tool.exe"},
      {L"[{PROGRAM_BASE}]", 4096, true, L"[]", nullptr, L".exe"},
      {L"[{PROGRAM_BASE}]", 4096, true, L"[exe]", nullptr, L"exe"},
      {L"{PROGRAM_BASE}", 4096, true, L"C:\\a.exe\\b", nullptr, L"C:\\a.exe\\b"},
      {L"{PROGRAM_DIR}", 4096, true, L"C:/Apps/tool.exe", nullptr, L"C:/Apps/tool.exe"},
      // The build's product strings (the reference values by default).
      {L"{COMPANY}|{PRODUCT}|{VERSION}|{FILE_VERSION}|{PRODUCT_VERSION}", 4096, true,
       L"QuillBeacon|Quill Beacon|1.0.0-1.0.0.0|1.0.0.0|1.0.0", nullptr, nullptr},
      // Choices of this launcher: a stray '}' and an over-long name are false results.
      {L"ab}cd", 4096, false, L"ab", nullptr, nullptr},
      {L"ab{" + long_name + L"}", 4096, false, L"ab", nullptr, nullptr},
      {L"ab{" + max_name + L"}", 4096, false, L"ab", nullptr, nullptr},
      {L"{" + std::wstring(5000, L'N') + L"{TEMP}", 4096, true, temp, nullptr, nullptr},
  };

  ScopedEnv parent(L"VELDRO_ONEFILE_PARENT", L"4242");
  ScopedEnv time_us(L"VELDRO_ONEFILE_TIME_US", L"012345");
  ScopedEnv random(L"VELDRO_ONEFILE_RANDOM", L"abc");
  for (const Case& c : cases) {
    ScopedEnv tmp(L"TMP", c.tmp != nullptr ? c.tmp : kTemp);
    ScopedArgv0 argv0(c.argv0 != nullptr ? c.argv0 : __wargv != nullptr ? __wargv[0] : L"");
    Expansion e = expand(c.spec, c.capacity);
    std::string label = "spec " + std::to_string(&c - cases) + " capacity " + std::to_string(c.capacity);
    EXPECT_EQ(e.ok, c.ok) << label;
    EXPECT_EQ(e.text, c.text) << label;
  }
}

TEST(ExpandDirSpec, TheConfiguredTemplateIsTheReferenceOne) {
  EXPECT_EQ(std::wstring(configured_dir_spec()), L"{TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM}");
}

TEST(ExpandDirSpec, RealTempPathLosesItsTrailingBackslash) {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  ASSERT_GT(n, 1u);
  ASSERT_EQ(temp[n - 1], L'\\');
  temp[n - 1] = L'\0';
  Expansion e = expand(L"{TEMP}\\x");
  EXPECT_TRUE(e.ok);
  EXPECT_EQ(e.text, std::wstring(temp) + L"\\x");
}

// --- the tokens' life in the environment ----------------------------------------------------

TEST(RunTokens, ComputedOnceStoredAndReadBack) {
  ScopedEnv start(L"VELDRO_ONEFILE_START", nullptr);
  ScopedEnv time_us(L"VELDRO_ONEFILE_TIME_US", nullptr);
  ScopedEnv random(L"VELDRO_ONEFILE_RANDOM", nullptr);

  Expansion twice = expand(L"{RANDOM}\\{RANDOM}");
  ASSERT_TRUE(twice.ok);
  std::wstring token = twice.text.substr(0, 11);
  EXPECT_TRUE(is_random_token(token)) << twice.text.size();
  EXPECT_EQ(twice.text, token + L"\\" + token);
  EXPECT_EQ(env_value(L"VELDRO_ONEFILE_RANDOM"), token);
  EXPECT_EQ(expand(L"{RANDOM}").text, token);

  int64_t before = system_time_now();
  Expansion times = expand(L"{TIME}_{TIME_US}");
  int64_t after = system_time_now();
  ASSERT_TRUE(times.ok);
  size_t underscore = times.text.find(L'_');
  std::wstring time = times.text.substr(0, underscore);
  std::wstring us = times.text.substr(underscore + 1);
  ASSERT_TRUE(all_digits(time)) << times.text.size();
  int64_t count = _wcstoi64(time.c_str(), nullptr, 10);
  EXPECT_GE(count, before);
  EXPECT_LE(count, after);
  EXPECT_EQ(us.size(), 6u);
  EXPECT_TRUE(all_digits(us));
  EXPECT_EQ(env_value(L"VELDRO_ONEFILE_START"), time);
  EXPECT_EQ(env_value(L"VELDRO_ONEFILE_TIME_US"), us);
  EXPECT_EQ(expand(L"{TIME_US}{TIME}").text, us + time);
}

TEST(RunTokens, StoredValuesAreUsedAsTheyAre) {
  ScopedEnv start(L"VELDRO_ONEFILE_START", L"not a time");
  ScopedEnv random(L"VELDRO_ONEFILE_RANDOM", L"abc");
  Expansion e = expand(L"{TIME}/{RANDOM}");
  EXPECT_TRUE(e.ok);
  EXPECT_EQ(e.text, L"not a time/abc");
}

TEST(RunTokens, PidFromTheParentVariableOrThisProcess) {
  {
    ScopedEnv parent(L"VELDRO_ONEFILE_PARENT", nullptr);
    EXPECT_EQ(expand(L"{PID}").text, std::to_wstring(GetCurrentProcessId()));
    EXPECT_EQ(env_value(L"VELDRO_ONEFILE_PARENT"), L"");  // never written here
  }
  {
    ScopedEnv parent(L"VELDRO_ONEFILE_PARENT", L"");  // empty counts as absent
    EXPECT_EQ(expand(L"{PID}").text, std::to_wstring(GetCurrentProcessId()));
  }
  ScopedEnv parent(L"VELDRO_ONEFILE_PARENT", L"0012");
  EXPECT_EQ(expand(L"{PID}").text, L"0012");
}

// --- environment access ---------------------------------------------------------------------------

TEST(HandoffEnvironment, EmptyReadsAsAbsentAndValuesRoundTrip) {
  ScopedEnv empty(L"VELDRO_TEST_VALUE", L"");
  EXPECT_EQ(get_env_wide("VELDRO_TEST_VALUE"), nullptr);

  set_env_from_narrow_name("VELDRO_TEST_VALUE", L"caf\u00e9 \u4e2d x");
  const wchar_t* value = get_env_wide("VELDRO_TEST_VALUE");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::wstring(value), L"caf\u00e9 \u4e2d x");

  std::wstring big(32766, L'v');  // the longest value Wine keeps
  set_env_from_narrow_name("VELDRO_TEST_VALUE", big.c_str());
  value = get_env_wide("VELDRO_TEST_VALUE");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::wstring(value), big);

  set_env_from_narrow_name("VELDRO_TEST_VALUE", nullptr);
  EXPECT_EQ(get_env_wide("VELDRO_TEST_VALUE"), nullptr);
  wchar_t probe[4];
  EXPECT_EQ(GetEnvironmentVariableW(L"VELDRO_TEST_VALUE", probe, 4), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));

  // Names are at most 39 characters.
  const char name39[] = "VELDRO_TEST_NAME_OF_THIRTY_NINE_CHARS_X";
  static_assert(sizeof name39 == 40, "39 characters");
  set_env_from_narrow_name(name39, L"ok");
  value = get_env_wide(name39);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::wstring(value), L"ok");
  set_env_from_narrow_name(name39, nullptr);
}

// --- what ends the process ----------------------------------------------------------------------

TEST(DirSpecDeathTest, BrokenInvariantsAbort) {
  // A value that needs more room than is left (11 characters and the terminator in 11).
  EXPECT_EXIT(expand(L"{COMPANY}", 11), ::testing::ExitedWithCode(kAbortExitCode), "");
  EXPECT_EXIT(
      {
        ScopedArgv0 argv0(L"C:\\Apps\\tool.exe");
        expand(L"ab{PROGRAM_DIR}", 8);
      },
      ::testing::ExitedWithCode(kAbortExitCode), "");
  // No argv[0] for {PROGRAM}.
  EXPECT_EXIT(
      {
        __argc = 0;
        __wargv = nullptr;
        expand(L"{PROGRAM_BASE}");
      },
      ::testing::ExitedWithCode(kAbortExitCode), "");
  // An inherited parent id with a letter among its digits.
  EXPECT_EXIT(
      {
        SetEnvironmentVariableW(L"VELDRO_ONEFILE_PARENT", L"12a4");
        expand(L"{PID}");
      },
      ::testing::ExitedWithCode(kAbortExitCode), "");
  // A variable name of 40 characters does not fit the 40-unit buffer with its terminator.
  EXPECT_EXIT(get_env_wide("VELDRO_TEST_NAME_OF_FORTY_CHARACTERS_XYZ"),
              ::testing::ExitedWithCode(kAbortExitCode), "");
}

}  // namespace
