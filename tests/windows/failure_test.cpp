// The launcher's failure lines, byte for byte, with their channel and exit code: malformed
// payloads run as real launchers, and the reporting operations through report_probe.exe for
// what a real run cannot easily produce (codes without system text, names outside the ANSI
// code page, a broken invariant).
// Lines end as the C runtime writes a newline to a text-mode stream on Windows: CR LF.
#include <gtest/gtest.h>

#include <string>

#include "process_runner.h"

namespace {

RunResult run_fixture(const std::wstring& name, const std::wstring& args = L"",
                      const RunOptions& options = {}) {
  std::wstring exe = test_bin_dir() + name + L".exe";
  return run_program(exe, L"\"" + exe + L"\" " + args, options);
}

// Each in a TEMP of its own, to see what it leaves: a failure keeps what was written (no
// rollback), but a target directory that holds nothing yet goes with the failure.
TEST(LauncherFailures, MalformedPayloadsGetTheirMessageAndExitCode2) {
  struct Case {
    const wchar_t* launcher;
    const char* stdout_text;
    size_t target_directories_left;
  };
  const Case cases[] = {
      {L"fixture_bad_magic", "Error, couldn't find attached data header.\r\n", 0},
      {L"fixture_bad_flag", "Error, couldn't find attached data header.\r\n", 0},
      // A read the decoder fails, on damage or past the frame's end, ends the run with this line
      // (how a frame breaks, is cut short or ends is tested on the host); what was written stays.
      {L"fixture_corrupt_frame", "Error, couldn't decode attached data.\r\n", 1},
      {L"fixture_truncated_entry", "Error, couldn't decode attached data.\r\n", 1},
      // The first name is malformed: nothing was written into the fresh directory.
      {L"fixture_long_name", "Error, couldn't decode attached data.\r\n", 0},
  };
  for (const Case& c : cases) {
    std::wstring temp = fresh_directory(std::wstring(L"failure_") + c.launcher);
    RunOptions options;
    options.set_env = {L"TEMP=" + temp, L"TMP=" + temp};
    RunResult r = run_fixture(c.launcher, L"", options);
    EXPECT_EQ(r.exit_code, 2u) << utf8(c.launcher);
    EXPECT_EQ(r.out, c.stdout_text) << utf8(c.launcher);
    EXPECT_EQ(r.err, "") << utf8(c.launcher);
    EXPECT_EQ(list_matching(temp, L"onefile_").size(), c.target_directories_left) << utf8(c.launcher);
    remove_tree(temp);
  }
}

TEST(ReportingOperations, WriteTheirLineOnTheirChannel) {
  std::wstring probe = test_bin_dir() + L"report_probe.exe";
  auto run = [&](const std::wstring& args) { return run_program(probe, L"report_probe " + args); };

  // The system's text of a code, without the CR LF that ends it in the message table, is
  // checked on real failures (e2e_roles_test.cpp); a code without any system text still gets a
  // readable third field.
  RunResult unknown = run(L"os-error 0x2FFFFFFF");
  EXPECT_EQ(unknown.exit_code, 2u);
  EXPECT_EQ(unknown.err,
            "Error, couldn't launch child ([Error 805306367] no description available)\r\n");

  // Names outside the ANSI code page come through whole, as UTF-8: CJK, an accent, a
  // character beyond the Basic Multilingual Plane. (ASCII names: the real failures of
  // extract_launcher_test.cpp and dirspec_launch_test.cpp.)
  RunResult wide = run(L"open \"C:\\\u65e5\u672c\\caf\u00e9 \U0001F600.txt\"");
  EXPECT_EQ(wide.exit_code, 2u);
  EXPECT_EQ(wide.err,
            "Error, failed to open 'C:\\\xe6\x97\xa5\xe6\x9c\xac\\caf\xc3\xa9 \xf0\x9f\x98\x80.txt' for "
            "writing.\r\n");
  RunResult wide_spec = run(L"spec \"{TEMP}\\\u00e9\u65e5{FOO}\"");
  EXPECT_EQ(wide_spec.exit_code, 3u);
  EXPECT_EQ(wide_spec.err,
            "Error, couldn't runtime expand spec '{TEMP}\\\xc3\xa9\xe6\x97\xa5{FOO}'.\r\n");

  RunResult invariant = run(L"invariant");
  EXPECT_EQ(invariant.exit_code, 3u);
  EXPECT_EQ(invariant.out, "");
  EXPECT_EQ(invariant.err, "");
}

}  // namespace
