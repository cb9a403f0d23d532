// Whole launchers run as a user would, for what goes in and comes out of the application: the
// arguments that reach run_code and element zero, the longest line a child can get, exit codes
// that come back unchanged, the handoff variables the application sees (the parent's own,
// whatever was inherited), the DLLs a child does without, and output redirected to a file.
// Every run gets a TEMP of its own, so that what a launcher leaves behind can be seen.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher_runs.h"
#include "link_support.h"
#include "process_runner.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Arguments
TEST(Arguments, ReachRunCodeAsTheChildsRuntimeSplitsThem) {
  std::wstring temp = fresh_directory(L"args_temp");
  std::wstring cwd = fresh_directory(L"args_cwd");
  for (const wchar_t* name : {L"a.txt", L"b.txt", L"x.dat"}) write_file(cwd + L"\\" + name, "");
  RunOptions options = with_temp(temp);
  options.cwd = cwd;

  const struct {
    const wchar_t* typed;                    // as written on the launcher's command line
    std::vector<const wchar_t*> arrives;     // what run_code gets for it
  } table[] = {
      {L"\"two words\"", {L"two words"}},
      {L"\"tab\there\"", {L"tab\there"}},
      {L"say\\\"hi\\\"", {L"say\"hi\""}},
      {L"\"a \\\"quoted\\\" b\"", {L"a \"quoted\" b"}},
      {L"\"dir with blank\\\\\"", {L"dir with blank\\"}},
      {L"\"two trailing\\\\\\\\\"", {L"two trailing\\\\"}},
      {L"C:\\plain\\path\\", {L"C:\\plain\\path\\"}},
      {L"a\\\\\\\"b", {L"a\\\"b"}},
      {L"back\\\\slash", {L"back\\\\slash"}},
      {L"\"\"", {}},
      {L"\"line\nfeed\"", {L"line\nfeed"}},
      {L"caf\u00e9", {L"caf\u00e9"}},
      {L"\u65e5\u672c\u8a9e \U0001F600", {L"\u65e5\u672c\u8a9e", L"\U0001F600"}},
      {L"\"\"", {}},
      {L"nomatch*.zzz", {L"nomatch*.zzz"}},
      {L"?.dat", {L"x.dat"}},
      {L"*.txt", {L"a.txt", L"b.txt"}},  // last: the order of matches is the file system's
      {L"\"\"", {}},
  };
  std::wstring args = L"args";
  std::vector<std::string> expected = {utf8(bin(L"sv_probe.exe")), "args"};
  for (const auto& row : table) {
    args += L" " + std::wstring(row.typed);
    for (const wchar_t* a : row.arrives) expected.push_back(utf8(a));
  }

  RunResult r = run_launcher(bin(L"sv_probe.exe"), args, options);
  EXPECT_EQ(r.exit_code, 0u) << r.err;
  std::string expected_out;
  for (size_t k = 0; k < expected.size(); ++k) {
    expected_out += "argv[" + std::to_string(k) + "]=" + expected[k] + "\n";
  }
  std::string got = r.out.substr(0, r.out.find("path="));
  // Matches of the last pattern in name order, whatever order the file system listed them.
  size_t last_two = got.rfind("argv[", got.rfind("argv[") - 1);
  if (last_two != std::string::npos) {
    std::string tail = got.substr(last_two);
    if (tail.find("b.txt") < tail.find("a.txt")) {
      got = got.substr(0, last_two) + "argv[" + std::to_string(expected.size() - 2) + "]=a.txt\nargv[" +
            std::to_string(expected.size() - 1) + "]=b.txt\n";
    }
  }
  EXPECT_EQ(got, expected_out);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(leftovers(temp).empty());
}

TEST(Arguments, ElementZeroIsTheFullPathWhateverTheUserTyped) {
  std::wstring temp = fresh_directory(L"argv0_temp");
  std::wstring dir = fresh_directory(L"argv0");
  CreateDirectoryW((dir + L"\\sub dir").c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(bin(L"sv_probe.exe").c_str(), (dir + L"\\sub dir\\sv probe.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(bin(L"sv_probe.exe").c_str(), (dir + L"\\svcopy.exe").c_str(), FALSE));
  RunOptions options = with_temp(temp);
  options.cwd = dir;

  const struct {
    const wchar_t* typed;  // program name on the command line, started with no application name
    std::wstring full_path;
    const char* original;  // VELDRO_ORIGINAL_ARGV0
    std::wstring folder;
  } cases[] = {
      {L"\"sub dir\\sv probe\"", dir + L"\\sub dir\\sv probe.exe", "sub dir\\sv probe", dir + L"\\sub dir"},
      {L"svcopy", dir + L"\\svcopy.exe", "svcopy", dir},
      {L".\\svcopy.exe", dir + L"\\svcopy.exe", ".\\svcopy.exe", dir},
  };
  // With no application name, CreateProcess looks for a relative name in the caller's current
  // directory, as a shell does for what the user typed.
  wchar_t own_cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, own_cwd);
  for (const auto& c : cases) {
    SetCurrentDirectoryW(dir.c_str());
    RunResult r = run_program(L"", std::wstring(c.typed) + L" args env VELDRO_ORIGINAL_ARGV0 env VELDRO_ONEFILE_DIRECTORY",
                              options);
    SetCurrentDirectoryW(own_cwd);
    EXPECT_EQ(r.exit_code, 0u) << utf8(c.typed) << r.err;
    EXPECT_EQ(value(r.out, "argv[0]="), utf8(c.full_path)) << utf8(c.typed);
    EXPECT_EQ(value(r.out, "VELDRO_ORIGINAL_ARGV0="), c.original);
    EXPECT_EQ(value(r.out, "VELDRO_ONEFILE_DIRECTORY="), short_path(c.folder)) << utf8(c.typed);
  }
  EXPECT_TRUE(leftovers(temp).empty());
}

// The longest line CreateProcessW takes (32,766 units and the terminator) reaches the child
// whole, its last character included; one unit more is refused before anything is extracted.
TEST(Arguments, TheLongestChildLineArrivesWholeAndOneMoreIsRefusedBeforeExtraction) {
  std::wstring temp = fresh_directory(L"long_line_temp");
  std::wstring exe = bin(L"sv_probe.exe");
  ASSERT_EQ(exe.find(L' '), std::wstring::npos);
  // The child's line: "<exe> args echo <text>"; the typed one starts with a short name.
  size_t room = 32766 - exe.size() - std::wstring(L" args echo ").size();
  std::wstring text(room - 1, L'x');
  text += L'z';
  RunResult whole = run_program(exe, L"p args echo " + text, with_temp(temp));
  EXPECT_EQ(whole.exit_code, 0u) << whole.err;
  EXPECT_TRUE(value(whole.out, "argv[3]=") == utf8(text)) << "argv[3] differs";
  ASSERT_GE(whole.out.size(), 3u);
  EXPECT_EQ(whole.out.substr(whole.out.size() - 3), "xz\n");  // echoed to its last character

  RunResult over = run_program(exe, L"p args echo " + text + L"!", with_temp(temp));
  EXPECT_EQ(over.exit_code, 2u);
  EXPECT_TRUE(over.out.empty()) << over.out.size() << " bytes on stdout: the child ran";
  EXPECT_EQ(over.err, "Error, command line too long for the child: 32767 characters, at most 32766.\r\n");
  EXPECT_EQ(names_in(temp).size(), 0u);  // no target directory was made
}

// ---------------------------------------------------------------------------------------------
// Exit codes and environment

// (A crash's code comes back too: Faults.AnAccessViolationComesBackAsTheExitCodeAndTheDirectoryGoes.)
TEST(ExitCodes, ComeBackUnchanged) {
  std::wstring temp = fresh_directory(L"exit_temp");
  const unsigned long codes[] = {0, 1, 2, 3, 255, 0x7FFFFFFF, 0xFFFFFFFE};
  for (unsigned long code : codes) {
    RunResult r = run_launcher(bin(L"sv_probe.exe"), L"exit " + std::to_wstring(code), with_temp(temp));
    EXPECT_EQ(r.exit_code, code);
    EXPECT_FALSE(r.timed_out);
  }
  EXPECT_TRUE(leftovers(temp).empty());
}

// The handoff variables are the parent's own whatever the environment held: with none
// inherited, and with values of every shape an outer run or anyone else may have left in all
// of them, the parent computes fresh tokens, deletes START (the template has no {TIME}), names
// itself and its folder, and the target directory is the template's, made of those tokens below
// this run's TEMP; nothing is written anywhere else.
TEST(Environment, TheHandoffVariablesAreTheParentsOwnWhateverWasInherited) {
  std::wstring base = fresh_directory(L"handoff");
  std::wstring temp = base + L"\\temp";
  CreateDirectoryW(temp.c_str(), nullptr);
  std::wstring folder = test_bin_dir();
  folder.pop_back();
  const std::wstring none = L"<none inherited>";
  const std::wstring shapes[] = {
      none,
      L"",
      std::wstring(32766, L'A'),
      L"\u00e9\u65e5\u672c\U0001F600",
      L"..\\..",
      L"..\\..\\escaped",
      L"a\\b\\..\\..\\..\\c",
      L"C:\\Windows\\System32",
      L"\\\\?\\Z:\\tmp\\planted",
      L"..",
      L"-1",
      L"stale-value",
      L"123456",
  };
  for (const std::wstring& shape : shapes) {
    SCOPED_TRACE(utf8(shape.substr(0, 24)));
    RunOptions options = with_temp(temp);
    if (shape != none) {
      options.unset_env.clear();
      for (const wchar_t* name : kHandoffVariables) options.set_env.push_back(std::wstring(name) + L"=" + shape);
    }
    RunResult r = run_launcher(bin(L"sv_probe.exe"),
                               L"env VELDRO_ONEFILE_PARENT env VELDRO_ONEFILE_TIME_US env VELDRO_ONEFILE_RANDOM "
                               L"env VELDRO_ONEFILE_DIRECTORY env VELDRO_ONEFILE_START args exit 11",
                               options);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 11u) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    std::string time_us = value(r.out, "VELDRO_ONEFILE_TIME_US=");
    std::string random = value(r.out, "VELDRO_ONEFILE_RANDOM=");
    EXPECT_NE(wide(time_us), shape);
    EXPECT_NE(wide(random), shape);
    EXPECT_EQ(time_us.size(), 6u) << time_us;
    EXPECT_EQ(time_us.find_first_not_of("0123456789"), std::string::npos) << time_us;
    EXPECT_EQ(random.size(), 11u) << random;
    EXPECT_EQ(random.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
              std::string::npos) << random;
    EXPECT_EQ(values(r.out, "VELDRO_ONEFILE_START unset").size(), 1u);
    EXPECT_EQ(value(r.out, "VELDRO_ONEFILE_PARENT="), std::to_string(r.pid));
    EXPECT_EQ(value(r.out, "VELDRO_ONEFILE_DIRECTORY="), short_path(folder));
    // run_code's third argument: TargetDir, a backslash, the first entry's name.
    EXPECT_EQ(value(r.out, "path="), utf8(temp) + "\\onefile_" + std::to_string(r.pid) + "_" + time_us + "_" +
                                         random + "\\probe.dll");
    EXPECT_EQ(names_in(base), std::vector<std::wstring>{L"temp"});
    EXPECT_EQ(names_in(temp).size(), 0u);
  }
}

TEST(Environment, TheChildLoadsNoShellWindowOrSecurityDll) {
  // The launcher binds shell32, user32 and advapi32 at first use; a child never uses them, so
  // the application starts without paying for them. The probe itself imports none of them.
  std::wstring temp = fresh_directory(L"dll_temp");
  RunResult r = run_launcher(bin(L"sv_probe.exe"),
                             L"loaded shell32.dll loaded user32.dll loaded advapi32.dll loaded kernel32.dll",
                             with_temp(temp));
  ASSERT_EQ(r.exit_code, 0u) << r.err;
  EXPECT_EQ(values(r.out, "shell32.dll not loaded").size(), 1u) << r.out;
  EXPECT_EQ(values(r.out, "user32.dll not loaded").size(), 1u) << r.out;
  EXPECT_EQ(values(r.out, "advapi32.dll not loaded").size(), 1u) << r.out;
  EXPECT_EQ(values(r.out, "kernel32.dll loaded").size(), 1u) << r.out;  // the check itself works
  EXPECT_TRUE(leftovers(temp).empty());
}

// ---------------------------------------------------------------------------------------------
// Output

TEST(Output, RedirectedStdoutReachesTheFile) {
  std::wstring temp = fresh_directory(L"redirect_temp");
  std::wstring file = temp + L"\\out.txt";
  RunOptions options = with_temp(temp);
  RunResult r = run_program(L"", L"cmd /c \"" + quote(bin(L"sv_probe.exe")) + L" echo redirected echo " +
                                     L"caf\u00e9 > " + quote(file) + L"\"",
                            options);
  EXPECT_EQ(r.exit_code, 0u) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(read_file(file), "redirected\ncaf\xc3\xa9\n");
  EXPECT_TRUE(leftovers(temp).empty());
}

}  // namespace
