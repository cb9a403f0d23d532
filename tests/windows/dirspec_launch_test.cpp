// The target directory of real launchers around probe.dll: what the parent leaves in the
// environment, that stale values of an outer run are not reused, that the child lands in the
// directory the template names, that launchers started together never share one, and how a
// template that fails to expand ends the run.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "process_runner.h"

namespace {

// What probe.dll printed: "NAME=value" / "NAME unset" lines and "path=<main DLL path>".
struct ProbeReport {
  RunResult run;
  std::string value(const std::string& name) const {
    std::string key = "\n" + name + "=";
    std::string text = "\n" + run.out;
    size_t at = text.find(key);
    if (at == std::string::npos) return "<unset>";
    at += key.size();
    return text.substr(at, text.find('\n', at) - at);
  }
  // The directory the child loaded the main DLL from.
  std::string directory() const {
    std::string path = value("path");
    return path.substr(0, path.rfind('\\'));
  }
};

ProbeReport run_launcher(const std::wstring& name, const std::wstring& args,
                         const RunOptions& options = {}) {
  std::wstring exe = test_bin_dir() + name + L".exe";
  return {run_program(exe, L"\"" + exe + L"\" " + args, options)};
}

const wchar_t kShowTokens[] =
    L"env VELDRO_ONEFILE_PARENT env VELDRO_ONEFILE_TIME_US env VELDRO_ONEFILE_RANDOM "
    L"env VELDRO_ONEFILE_START args";

std::string temp_without_backslash() {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  return utf8(std::wstring(temp, n - 1));
}

bool all_digits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool is_random_token(const std::string& text) {
  return text.size() == 11 &&
         text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_") ==
             std::string::npos;
}

TEST(ConfiguredTemplate, ParentComputesFreshTokensAndHandsThemToTheChild) {
  // An outer run left its values behind: a parent that is not a launcher, its tokens.
  RunOptions stale;
  stale.set_env = {L"VELDRO_ONEFILE_PARENT=" + std::to_wstring(GetCurrentProcessId()),
                   L"VELDRO_ONEFILE_TIME_US=999999", L"VELDRO_ONEFILE_RANDOM=staleRandom",
                   L"VELDRO_ONEFILE_START=133000000001234567"};
  RunOptions clean;
  clean.unset_env = {L"VELDRO_ONEFILE_PARENT", L"VELDRO_ONEFILE_TIME_US", L"VELDRO_ONEFILE_RANDOM",
                     L"VELDRO_ONEFILE_START"};

  for (const RunOptions* options : {&stale, &clean}) {
    ProbeReport report = run_launcher(L"dirspec_launcher", kShowTokens, *options);
    ASSERT_EQ(report.run.exit_code, 0u) << report.run.out << report.run.err;
    EXPECT_EQ(report.run.err, "");
    const std::string parent = report.value("VELDRO_ONEFILE_PARENT");
    const std::string time_us = report.value("VELDRO_ONEFILE_TIME_US");
    const std::string random = report.value("VELDRO_ONEFILE_RANDOM");

    EXPECT_TRUE(all_digits(parent)) << parent;
    EXPECT_NE(parent, std::to_string(GetCurrentProcessId()));
    EXPECT_TRUE(all_digits(time_us) && time_us.size() == 6) << time_us;
    EXPECT_NE(time_us, "999999");
    EXPECT_TRUE(is_random_token(random)) << random;
    EXPECT_NE(random, "staleRandom");
    // The template has no {TIME}: an inherited START is deleted and none is written.
    EXPECT_NE(report.run.out.find("VELDRO_ONEFILE_START unset\n"), std::string::npos) << report.run.out;
    // The child found the directory the parent's values name: temp folder without its
    // trailing backslash, one backslash, onefile_PID_TIMEUS_RANDOM.
    EXPECT_EQ(report.directory(),
              temp_without_backslash() + "\\onefile_" + parent + "_" + time_us + "_" + random);
    EXPECT_FALSE(path_exists(wide(report.directory())));
  }
}

TEST(ConfiguredTemplate, TwentyLaunchersStartedTogetherGetTwentyDirectories) {
  constexpr int kLaunchers = 20;
  std::vector<ProbeReport> reports(kLaunchers);
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kLaunchers; ++i) {
    threads.emplace_back([&, i] {
      ++ready;
      while (!go) std::this_thread::yield();
      reports[i] = run_launcher(L"dirspec_launcher", L"args");
    });
  }
  while (ready < kLaunchers) std::this_thread::yield();
  go = true;
  for (std::thread& t : threads) t.join();

  std::set<std::string> directories;
  for (const ProbeReport& report : reports) {
    EXPECT_EQ(report.run.exit_code, 0u) << report.run.out << report.run.err;
    std::string dir = report.directory();
    EXPECT_EQ(dir.compare(0, temp_without_backslash().size() + 9, temp_without_backslash() + "\\onefile_"), 0)
        << dir;
    directories.insert(dir);
    EXPECT_FALSE(path_exists(wide(dir))) << dir << " left behind";
  }
  EXPECT_EQ(directories.size(), static_cast<size_t>(kLaunchers));
}

TEST(BuiltTemplates, ProductStringsTimeAndRelativePaths) {
  // Built by the packer with --template, --company, --product, --file-version and
  // --product-version; {TIME} in the template makes the parent write START.
  FILETIME before;
  GetSystemTimeAsFileTime(&before);
  ProbeReport strings = run_launcher(L"dirspec_strings_launcher", L"env VELDRO_ONEFILE_START args");
  ASSERT_EQ(strings.run.exit_code, 0u) << strings.run.out << strings.run.err;
  const std::string start = strings.value("VELDRO_ONEFILE_START");
  ASSERT_TRUE(all_digits(start)) << start;
  uint64_t count = std::stoull(start);
  uint64_t before_count = (static_cast<uint64_t>(before.dwHighDateTime) << 32) | before.dwLowDateTime;
  EXPECT_GE(count, before_count);
  EXPECT_LT(count, before_count + 600000000ull);  // within a minute
  const std::string prefix =
      temp_without_backslash() + "\\dirspec_Acme_Road Runner_2.3-2.3.4.5_2.3.4.5_2.3_" + start + "_";
  const std::string dir = strings.directory();
  EXPECT_EQ(dir.substr(0, prefix.size()), prefix);
  EXPECT_TRUE(is_random_token(dir.substr(prefix.size()))) << dir;

  // A relative template is made absolute against the current directory.
  RunOptions in_folder;
  in_folder.cwd = fresh_directory(L"relative_template");
  ProbeReport relative = run_launcher(L"dirspec_relative_launcher", L"args", in_folder);
  ASSERT_EQ(relative.run.exit_code, 0u) << relative.run.out << relative.run.err;
  const std::string relative_prefix = utf8(in_folder.cwd) + "\\veldro_rel_";
  EXPECT_EQ(relative.directory().substr(0, relative_prefix.size()), relative_prefix);
  EXPECT_TRUE(is_random_token(relative.directory().substr(relative_prefix.size())))
      << relative.directory();
  EXPECT_TRUE(list_matching(in_folder.cwd, L"veldro_rel_").empty());
  remove_tree(in_folder.cwd);
}

TEST(BuiltTemplates, AFailedExpansionIsReportedAndAborts) {
  struct Case {
    const wchar_t* launcher;
    const char* err;
  };
  const Case cases[] = {
      {L"dirspec_unknown_launcher", "Error, couldn't runtime expand spec '{TEMP}\\{FOO}'.\r\n"},
      // Failing at the first placeholder leaves an empty path: still reported.
      {L"dirspec_empty_failure_launcher", "Error, couldn't runtime expand spec '{}x'.\r\n"},
  };
  for (const Case& c : cases) {
    ProbeReport report = run_launcher(c.launcher, L"args");
    EXPECT_EQ(report.run.exit_code, 3u) << utf8(c.launcher);
    EXPECT_EQ(report.run.out, "") << utf8(c.launcher);
    EXPECT_EQ(report.run.err, c.err) << utf8(c.launcher);
  }
}

}  // namespace
