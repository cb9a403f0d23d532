// Whole launchers run as a user would: arguments and exit codes that reach run_code and come
// back, the environment the application sees, the role decision, failures of the main DLL,
// the DLL search path and many launchers at once. Every run gets a TEMP of its own, so that
// what a launcher leaves behind can be seen.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "launcher_runs.h"
#include "link_support.h"
#include "process_runner.h"

namespace {

std::string short_path(const std::wstring& path) {
  wchar_t out[4096];
  DWORD n = GetShortPathNameW(path.c_str(), out, 4096);
  return utf8(n > 0 && n < 4096 ? std::wstring(out) : path);
}

std::string system_text(DWORD code) {
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                 nullptr, code, 0x409, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

// The folder of a path: everything before its last backslash.
std::string folder_of_path(const std::string& path) { return path.substr(0, path.rfind('\\')); }

void stop_background(Background& b) {
  TerminateProcess(b.process.hProcess, 0);
  WaitForSingleObject(b.process.hProcess, 10000);
  CloseHandle(b.process.hThread);
  CloseHandle(b.process.hProcess);
}

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

TEST(ExitCodes, ComeBackUnchanged) {
  std::wstring temp = fresh_directory(L"exit_temp");
  // Wine's debugger, started by the crash, would open a crash dialog whose desktop process
  // inherits our output pipes and outlives the run; its report on stderr is enough.
  DWORD no = 0;
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", L"ShowCrashDialog", REG_DWORD, &no, sizeof no);
  const struct {
    const wchar_t* args;
    unsigned long code;
  } cases[] = {
      {L"exit 0", 0},          {L"exit 1", 1},   {L"exit 2", 2},
      {L"exit 3", 3},          {L"exit 255", 255}, {L"exit 0x7FFFFFFF", 0x7FFFFFFF},
      {L"exit 0xFFFFFFFE", 0xFFFFFFFE}, {L"crash", 0xC0000005},
  };
  for (const auto& c : cases) {
    RunResult r = run_launcher(bin(L"sv_probe.exe"), c.args, with_temp(temp));
    EXPECT_EQ(r.exit_code, c.code) << utf8(c.args);
    EXPECT_FALSE(r.timed_out);
  }
  EXPECT_TRUE(leftovers(temp).empty());
}

TEST(Environment, HoldsTheHandoffVariablesAndTheMainDllPath) {
  std::wstring temp = fresh_directory(L"env_temp");
  RunOptions options = with_temp(temp);
  // Values an outer run might have left: never reused.
  options.set_env.push_back(L"VELDRO_ONEFILE_TIME_US=abcdef");
  options.set_env.push_back(L"VELDRO_ONEFILE_RANDOM=stale-value");
  options.set_env.push_back(L"VELDRO_ONEFILE_START=12345");
  RunResult r = run_launcher(bin(L"sv_probe.exe"),
                             L"env VELDRO_ONEFILE_PARENT env VELDRO_ONEFILE_TIME_US env VELDRO_ONEFILE_RANDOM "
                             L"env VELDRO_ONEFILE_DIRECTORY env VELDRO_ONEFILE_START args",
                             options);
  ASSERT_EQ(r.exit_code, 0u) << r.err;
  std::string parent = value(r.out, "VELDRO_ONEFILE_PARENT=");
  std::string time_us = value(r.out, "VELDRO_ONEFILE_TIME_US=");
  std::string random = value(r.out, "VELDRO_ONEFILE_RANDOM=");
  EXPECT_EQ(parent, std::to_string(r.pid));
  EXPECT_EQ(time_us.size(), 6u);
  EXPECT_EQ(time_us.find_first_not_of("0123456789"), std::string::npos) << time_us;
  EXPECT_EQ(random.size(), 11u);
  EXPECT_NE(random, "stale-value");
  std::wstring folder = test_bin_dir();
  folder.pop_back();
  EXPECT_EQ(value(r.out, "VELDRO_ONEFILE_DIRECTORY="), short_path(folder));
  EXPECT_EQ(values(r.out, "VELDRO_ONEFILE_START unset").size(), 1u);
  // run_code's third argument: TargetDir, a backslash, the first entry's name.
  EXPECT_EQ(value(r.out, "path="),
            utf8(temp) + "\\onefile_" + parent + "_" + time_us + "_" + random + "\\probe.dll");
  EXPECT_TRUE(leftovers(temp).empty());
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
// Failures of the main DLL: the child reports, the parent still removes the directory.

TEST(MainDllFailures, ReportAndLeaveNothingBehind) {
  std::wstring temp = fresh_directory(L"fail_temp");

  RunResult no_entry = run_launcher(bin(L"sv_no_entry_point.exe"), L"", with_temp(temp));
  EXPECT_EQ(no_entry.exit_code, 2u);
  EXPECT_EQ(no_entry.out, "Error, DLL entry point not found.\r\n");
  EXPECT_EQ(no_entry.err, "");
  EXPECT_TRUE(leftovers(temp).empty());

  RunResult missing = run_launcher(bin(L"sv_missing_dep.exe"), L"", with_temp(temp));
  EXPECT_EQ(missing.exit_code, 2u);
  EXPECT_EQ(missing.out, "");
  // The line names the import that is missing, and the main DLL that needs it.
  EXPECT_EQ(missing.err, "Error, load DLL. ([Error 126] " + system_text(126) +
                             ") 'veldrodep.dll' (needed by 'sv_uses_dep.dll') was not found.\r\n");
  EXPECT_TRUE(leftovers(temp).empty());

  // A payload without entries: the child has nothing to enter and fails instead of starting
  // yet another copy (that would never end).
  RunResult empty = run_launcher(bin(L"sv_empty.exe"), L"", with_temp(temp));
  EXPECT_FALSE(empty.timed_out);
  EXPECT_EQ(empty.exit_code, 2u);
  EXPECT_EQ(empty.out, "Error, attached data holds no entry.\r\n");
  EXPECT_EQ(empty.err, "");
  EXPECT_TRUE(leftovers(temp).empty());
}

// ---------------------------------------------------------------------------------------------
// Roles

TEST(Roles, AStaleParentVariableMakesAParent) {
  std::wstring temp = fresh_directory(L"roles_temp");
  std::wstring dir = fresh_directory(L"roles");
  std::wstring exe = bin(L"sv_probe.exe");

  // A launcher of this same exe that keeps running, and one of a copy at another path.
  // Each with a TEMP of its own, so that its directory is not another run's leftover.
  std::wstring same_temp = fresh_directory(L"roles_same");
  Background same = start_background(exe, L"env VELDRO_ONEFILE_TIME_US env VELDRO_ONEFILE_RANDOM sleep 120000",
                                     same_temp, dir + L"\\same_out.txt");
  CreateDirectoryW((dir + L"\\copy").c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(exe.c_str(), (dir + L"\\copy\\sv_probe.exe").c_str(), FALSE));
  Background copy = start_background(dir + L"\\copy\\sv_probe.exe", L"sleep 120000",
                                     fresh_directory(L"roles_copy"), dir + L"\\copy_out.txt");
  std::string same_out = wait_for_line(same.out_path, "VELDRO_ONEFILE_RANDOM=", 200);
  std::wstring live = std::to_wstring(same.process.dwProcessId);
  unsigned long dead = run_launcher(exe, L"exit 0", with_temp(temp)).pid;

  const std::wstring stale[] = {
      std::to_wstring(dead),                           // process gone
      std::to_wstring(GetCurrentProcessId()),          // alive, another program
      std::to_wstring(copy.process.dwProcessId),       // alive, a copy of this exe elsewhere
      L"abc", live + L"x", live + L" ",                // not a complete number
      L"99999999999", L"-99999999999",                 // out of range
  };
  for (const std::wstring& value_text : stale) {
    RunOptions options = with_temp(temp);
    options.set_env.push_back(L"VELDRO_ONEFILE_PARENT=" + value_text);
    RunResult r = run_launcher(exe, L"env VELDRO_ONEFILE_PARENT args", options);
    EXPECT_EQ(r.exit_code, 0u) << "[" << utf8(value_text) << "] " << r.err;
    EXPECT_EQ(value(r.out, "VELDRO_ONEFILE_PARENT="), std::to_string(r.pid)) << utf8(value_text);
    EXPECT_EQ(value(r.out, "path=").rfind(utf8(temp) + "\\onefile_", 0), 0u) << utf8(value_text);
  }
  EXPECT_TRUE(leftovers(temp).empty());

  // The variable naming the live launcher makes a child, which extracts nothing: given that
  // run's tokens it enters that run's directory...
  std::string time_us = value(same_out, "VELDRO_ONEFILE_TIME_US=");
  std::string random = value(same_out, "VELDRO_ONEFILE_RANDOM=");
  RunOptions joining = with_temp(same_temp);
  joining.set_env.push_back(L"VELDRO_ONEFILE_PARENT=" + live);
  joining.set_env.push_back(L"VELDRO_ONEFILE_TIME_US=" + wide(time_us));
  joining.set_env.push_back(L"VELDRO_ONEFILE_RANDOM=" + wide(random));
  RunResult joined = run_launcher(exe, L"args", joining);
  EXPECT_EQ(joined.exit_code, 0u) << joined.err;
  EXPECT_EQ(value(joined.out, "path="),
            utf8(same_temp) + "\\onefile_" + utf8(live) + "_" + time_us + "_" + random + "\\probe.dll");
  // ...and without them it looks for the DLL in a directory nobody made.
  RunOptions lost = with_temp(temp);
  lost.set_env.push_back(L"VELDRO_ONEFILE_PARENT=" + live);
  RunResult r = run_launcher(exe, L"args", lost);
  EXPECT_EQ(r.exit_code, 2u);
  // The main DLL itself is not there: no import to name.
  EXPECT_EQ(r.err, "Error, load DLL. ([Error 126] " + system_text(126) + ")\r\n");
  // A blank or a plus sign before the number still names that process: a child again, which
  // then refuses the variable as its {PID} (digits only) and aborts before entering anything.
  for (const std::wstring& prefix : {L" ", L"+"}) {
    RunOptions options = with_temp(temp);
    options.set_env.push_back(L"VELDRO_ONEFILE_PARENT=" + prefix + live);
    RunResult child = run_launcher(exe, L"args", options);
    EXPECT_EQ(child.exit_code, 3u) << "[" << utf8(prefix) << "]";
    EXPECT_EQ(child.out, "");
  }
  EXPECT_TRUE(leftovers(temp).empty());
  stop_background(same);
  stop_background(copy);
}

// Templates built on argv[0]: the user types a bare or a short (8.3) name, the child is started
// by the full module path, and still both roles name one folder, the one the typed name gives.
TEST(Roles, ProgramPlaceholdersNameOneFolderHoweverTheLauncherWasTyped) {
  std::wstring dir = fresh_directory(L"program_templates");
  wchar_t own_cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, own_cwd);
  const struct {
    const wchar_t* launcher;
    const wchar_t* copy;   // the name the launcher is copied to in dir
    bool type_short_name;  // typed as its short path; otherwise as the bare name
    std::wstring folder;   // where the target directory must be (for a bare name)
    const wchar_t* prefix; // what its name starts with; null: the typed file name, "_"
  } cases[] = {
      {L"sv_program_dir", L"tp", false, dir + L"\\tp", L"pd_"},
      {L"sv_program_base", L"tp", false, dir, L"tp_"},
      {L"sv_program", L"tp", false, dir, L"tp_"},
      {L"sv_program_base", L"templated program", true, dir, nullptr},
      {L"sv_program", L"templated program", true, dir, nullptr},
  };
  for (const auto& c : cases) {
    std::wstring exe = dir + L"\\" + c.copy + L".exe";
    ASSERT_TRUE(CopyFileW(bin(std::wstring(c.launcher) + L".exe").c_str(), exe.c_str(), FALSE));
    wchar_t short_exe[MAX_PATH];
    ASSERT_NE(GetShortPathNameW(exe.c_str(), short_exe, MAX_PATH), 0u);
    std::wstring typed = c.type_short_name ? std::wstring(short_exe) : std::wstring(c.copy);
    if (c.type_short_name) ASSERT_NE(typed, exe) << "no short name to type";
    RunOptions options = with_temp(dir);
    options.cwd = dir;
    SetCurrentDirectoryW(dir.c_str());
    RunResult r = run_program(L"", typed + L" args", options);
    SetCurrentDirectoryW(own_cwd);
    std::string label = utf8(std::wstring(c.launcher) + L" as " + typed);
    EXPECT_EQ(r.exit_code, 0u) << label << ": " << r.err;
    std::string target = folder_of_path(value(r.out, "path="));
    // A short name typed keeps its short folder: the path is made absolute, never longer.
    std::string folder = c.type_short_name ? folder_of_path(utf8(short_exe)) : utf8(c.folder);
    EXPECT_EQ(folder_of_path(target), folder) << label;
    std::string prefix = c.prefix != nullptr ? utf8(c.prefix) : utf8(typed.substr(typed.rfind(L'\\') + 1));
    if (c.prefix == nullptr && std::wstring(c.launcher) == L"sv_program_base") prefix.resize(prefix.size() - 4);
    if (c.prefix == nullptr) prefix += "_";
    EXPECT_EQ(target.substr(target.rfind('\\') + 1, prefix.size()), prefix) << label;
    EXPECT_FALSE(path_exists(wide(target))) << label << ": left behind";
    DeleteFileW(exe.c_str());
  }
}

TEST(Roles, AChildStartedThroughASymbolicLinkKnowsItsParent) {
  std::wstring temp = fresh_directory(L"link_temp");
  std::wstring folder_link = bin(L"sv_links\\folder");
  ASSERT_NE(GetFileAttributesW(folder_link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  for (const std::wstring& exe : {bin(L"sv_links\\sv_probe_link.exe"), folder_link + L"\\sv_probe.exe"}) {
    ASSERT_TRUE(path_exists(exe));
    RunResult r = run_launcher(exe, L"env VELDRO_ONEFILE_PARENT args", with_temp(temp));
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u) << r.err;
    // Had the child taken the parent role, a grandchild would report the child's id here.
    EXPECT_EQ(value(r.out, "VELDRO_ONEFILE_PARENT="), std::to_string(r.pid)) << utf8(exe);
    EXPECT_EQ(value(r.out, "argv[0]="), utf8(exe));
  }
  EXPECT_TRUE(leftovers(temp).empty());
}

// ---------------------------------------------------------------------------------------------
// Supervision

TEST(Supervision, RedirectedStdoutReachesTheFile) {
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

TEST(Supervision, TwentyLaunchersAtOnceEachGetTheirOwnDirectory) {
  std::wstring temp = fresh_directory(L"twenty_temp");
  std::vector<RunResult> results(20);
  std::vector<std::thread> runs;
  std::atomic<int> wine_start_failures{0};
  for (RunResult& result : results) {
    runs.emplace_back([&result, &temp, &wine_start_failures] {
      result = run_launcher_past_wine_start_failure(bin(L"sv_probe.exe"), L"args sleep 300 exit 5",
                                                    with_temp(temp), &wine_start_failures);
    });
  }
  for (std::thread& t : runs) t.join();
  EXPECT_LE(wine_start_failures.load(), 3);
  std::set<std::string> directories;
  for (const RunResult& r : results) {
    EXPECT_EQ(r.exit_code, 5u) << r.out << r.err;
    std::string path = value(r.out, "path=");
    directories.insert(path.substr(0, path.rfind('\\')));
  }
  EXPECT_EQ(directories.size(), 20u);
  EXPECT_TRUE(leftovers(temp).empty());
}

// ---------------------------------------------------------------------------------------------
// DLL search

TEST(DllSearch, NeverTakesADependencyFromTheCurrentDirectoryOrPath) {
  std::wstring temp = fresh_directory(L"search_temp");
  std::wstring cwd = fresh_directory(L"search_cwd");
  std::wstring on_path = fresh_directory(L"search_path");
  std::wstring impostor = bin(L"sv_dep_impostor\\veldrodep.dll");
  ASSERT_TRUE(CopyFileW(impostor.c_str(), (cwd + L"\\veldrodep.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(impostor.c_str(), (on_path + L"\\veldrodep.dll").c_str(), FALSE));

  // The planted copies are what the default search would find.
  wchar_t path_value[32768] = L"";
  GetEnvironmentVariableW(L"PATH", path_value, 32768);
  RunOptions options = with_temp(temp);
  options.cwd = cwd;
  options.set_env.push_back(L"PATH=" + on_path + L";" + path_value);
  {
    wchar_t old_cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old_cwd);
    SetCurrentDirectoryW(cwd.c_str());
    HMODULE planted = LoadLibraryW(L"veldrodep.dll");
    SetCurrentDirectoryW(old_cwd);
    ASSERT_NE(planted, nullptr);
    auto origin = reinterpret_cast<const wchar_t* (*)()>(
        reinterpret_cast<void*>(GetProcAddress(planted, "dependency_origin")));
    EXPECT_STREQ(origin(), L"impostor");
    FreeLibrary(planted);
  }

  RunResult r = run_launcher(bin(L"sv_dep.exe"), L"", options);
  EXPECT_EQ(r.exit_code, 0u) << r.err;
  std::string prefix = "dependency: payload from " + utf8(temp) + "\\onefile_";
  EXPECT_EQ(r.out.rfind(prefix, 0), 0u) << r.out;
  EXPECT_EQ(r.out.size() - r.out.rfind("\\veldrodep.dll\n"), 15u) << r.out;

  RunResult missing = run_launcher(bin(L"sv_missing_dep.exe"), L"", options);
  EXPECT_EQ(missing.exit_code, 2u) << missing.out;
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err.rfind("Error, load DLL. ([Error 126] ", 0), 0u) << missing.err;
  EXPECT_TRUE(leftovers(temp).empty());
}

}  // namespace
