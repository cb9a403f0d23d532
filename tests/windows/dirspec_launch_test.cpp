// Templates built into real launchers around probe.dll: the product strings and {TIME} reach
// the target directory, a relative template is made absolute against the current directory, and
// a template that fails to expand ends the run with its line. (The reference template and the
// handoff variables: e2e_arguments_test.cpp.)
#include <windows.h>

#include <gtest/gtest.h>

#include <stdint.h>
#include <string>

#include "launcher_runs.h"
#include "link_support.h"
#include "process_runner.h"

namespace {

bool all_digits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool is_random_token(const std::string& text) {
  return text.size() == 11 &&
         text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_") ==
             std::string::npos;
}

TEST(BuiltTemplates, ProductStringsTimeAndRelativePaths) {
  // Built by the packer with --template, --company, --product, --file-version and
  // --product-version; {TIME} in the template makes the parent write START.
  const std::wstring temp = fresh_directory(L"strings_template");
  FILETIME before;
  GetSystemTimeAsFileTime(&before);
  RunResult strings = run_launcher(bin(L"dirspec_strings_launcher.exe"), L"env VELDRO_ONEFILE_START args",
                                   with_temp(temp));
  ASSERT_EQ(strings.exit_code, 0u) << strings.out << strings.err;
  const std::string start = value(strings.out, "VELDRO_ONEFILE_START=");
  ASSERT_TRUE(all_digits(start)) << start;
  uint64_t count = std::stoull(start);
  uint64_t before_count = (static_cast<uint64_t>(before.dwHighDateTime) << 32) | before.dwLowDateTime;
  EXPECT_GE(count, before_count);
  EXPECT_LT(count, before_count + 600000000ull);  // within a minute
  const std::string prefix = utf8(temp) + "\\dirspec_Acme_Road Runner_2.3-2.3.4.5_2.3.4.5_2.3_" + start + "_";
  const std::string dir = folder_of(value(strings.out, "path="));
  EXPECT_EQ(dir.substr(0, prefix.size()), prefix);
  EXPECT_TRUE(is_random_token(dir.substr(prefix.size()))) << dir;
  EXPECT_TRUE(names_in(temp).empty());

  // A relative template is made absolute against the current directory.
  RunOptions in_folder = with_temp(temp);
  in_folder.cwd = fresh_directory(L"relative_template");
  RunResult relative = run_launcher(bin(L"dirspec_relative_launcher.exe"), L"args", in_folder);
  ASSERT_EQ(relative.exit_code, 0u) << relative.out << relative.err;
  const std::string relative_prefix = utf8(in_folder.cwd) + "\\veldro_rel_";
  const std::string relative_dir = folder_of(value(relative.out, "path="));
  EXPECT_EQ(relative_dir.substr(0, relative_prefix.size()), relative_prefix);
  EXPECT_TRUE(is_random_token(relative_dir.substr(relative_prefix.size()))) << relative_dir;
  EXPECT_TRUE(list_matching(in_folder.cwd, L"veldro_rel_").empty());
  remove_tree(in_folder.cwd);
}

TEST(BuiltTemplates, AFailedExpansionIsReportedAndAborts) {
  struct Case {
    const wchar_t* launcher;
    const char* err;
  };
  const Case cases[] = {
      {L"dirspec_unknown_launcher.exe", "Error, couldn't runtime expand spec '{TEMP}\\{FOO}'.\r\n"},
      // Failing at the first placeholder leaves an empty path: still reported.
      {L"dirspec_empty_failure_launcher.exe", "Error, couldn't runtime expand spec '{}x'.\r\n"},
  };
  const std::wstring temp = fresh_directory(L"failed_template");
  for (const Case& c : cases) {
    RunResult r = run_launcher(bin(c.launcher), L"args", with_temp(temp));
    EXPECT_EQ(r.exit_code, 3u) << utf8(c.launcher);
    EXPECT_EQ(r.out, "") << utf8(c.launcher);
    EXPECT_EQ(r.err, c.err) << utf8(c.launcher);
  }
}

}  // namespace
