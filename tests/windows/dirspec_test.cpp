// The target-directory template with the values of a run, in process under Wine: the system's
// folders, argv[0] and the build's product strings in one table (the grammar itself is tested
// on the host), the tokens' life in the environment, and the cases that end the process (in
// death-test children, abort exit 3).
#include <windows.h>

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "base/env.h"
#include "base/run_state.h"
#include "dirspec/expand.h"

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

// Replaces the run's argv (what {PROGRAM} reads) for one test.
struct ScopedArgv0 {
  int saved_argc;
  wchar_t** saved_argv;
  wchar_t* vector[2];
  std::wstring storage;
  explicit ScopedArgv0(const wchar_t* argv0) : saved_argc(RunArgc), saved_argv(RunArgv) {
    storage = argv0;
    vector[0] = &storage[0];
    vector[1] = nullptr;
    RunArgc = 1;
    RunArgv = vector;
  }
  ~ScopedArgv0() {
    RunArgc = saved_argc;
    RunArgv = saved_argv;
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

// --- the template table -------------------------------------------------------------------------

TEST(ExpandDirSpec, ValuesOfTheRun) {
  const std::wstring profile = env_value(L"USERPROFILE");
  const std::wstring local_app_data = env_value(L"LOCALAPPDATA");
  ASSERT_FALSE(profile.empty());
  ASSERT_FALSE(local_app_data.empty());
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
      {L"{TEMP}\\onefile_{PID}", 4096, true, L"C:\\Users\\u\\T\\onefile_4242", L"C:\\Users\\u\\T",
       nullptr},
      // A temp path that does not fit, or that the system cannot give (a TMP longer than
      // MAX_PATH), is an empty value: the expansion fails instead of going on without it.
      {L"ab\\\\{TEMP}cd", 12, false, L"ab\\\\", nullptr, nullptr},
      {L"{TEMP}\\onefile_{PID}", 4096, false, L"", over_long_tmp.c_str(), nullptr},
      // The user's folders, without trailing backslashes.
      {L"x\\{HOME}", 4096, true, L"x\\" + profile, nullptr, nullptr},
      {L"{CACHE_DIR}\\cache", 4096, true, local_app_data + L"\\cache", nullptr, nullptr},
      // {PROGRAM} is the run's argv[0] as given, and the two derived from it.
      {L"{PROGRAM}|{PROGRAM_BASE}|{PROGRAM_DIR}", 4096, true,
       L"C:\\Apps\\tool.EXE|C:\\Apps\\tool|C:\\Apps", nullptr, L"C:\\Apps\\tool.EXE"},
      // The build's product strings (the reference values by default).
      {L"{COMPANY}|{PRODUCT}|{VERSION}|{FILE_VERSION}|{PRODUCT_VERSION}", 4096, true,
       L"QuillBeacon|Quill Beacon|1.0.0-1.0.0.0|1.0.0.0|1.0.0", nullptr, nullptr},
  };

  ScopedEnv parent(L"VELDRO_ONEFILE_PARENT", L"4242");
  ScopedEnv time_us(L"VELDRO_ONEFILE_TIME_US", L"012345");
  ScopedEnv random(L"VELDRO_ONEFILE_RANDOM", L"abc");
  for (const Case& c : cases) {
    ScopedEnv tmp(L"TMP", c.tmp != nullptr ? c.tmp : kTemp);
    ScopedArgv0 argv0(c.argv0 != nullptr ? c.argv0 : __wargv[0]);
    Expansion e = expand(c.spec, c.capacity);
    std::string label = "spec " + std::to_string(&c - cases) + " capacity " + std::to_string(c.capacity);
    EXPECT_EQ(e.ok, c.ok) << label;
    EXPECT_EQ(e.text, c.text) << label;
  }
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
  // A value that needs more room than is left (11 characters and the terminator in 11); which
  // values do is tested on the host.
  EXPECT_EXIT(expand(L"{COMPANY}", 11), ::testing::ExitedWithCode(kAbortExitCode), "");
  // No argv[0] for {PROGRAM}.
  EXPECT_EXIT(
      {
        RunArgc = 0;
        RunArgv = nullptr;
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
