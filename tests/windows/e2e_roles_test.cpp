// Whole launchers run as a user would, for who does what: the role decision (a parent variable
// makes a child only when it names a live launcher of this same exe, also through symbolic
// links and however the exe was typed), launchers started by a packaged application, failures
// of the main DLL, and the DLL search that never takes a planted dependency. Every run gets a
// TEMP of its own, so that what a launcher leaves behind can be seen.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher_runs.h"
#include "link_support.h"
#include "process_runner.h"

namespace {

std::string system_text(DWORD code) {
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                 nullptr, code, 0x409, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
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

TEST(Roles, OnlyAParentVariableNamingALiveLauncherOfThisExeMakesAChild) {
  std::wstring temp = fresh_directory(L"roles_temp");
  std::wstring dir = fresh_directory(L"roles");
  std::wstring exe = bin(L"sv_probe.exe");

  // A launcher of this same exe that keeps running, and one of a copy at another path.
  // Each with a TEMP of its own, so that its directory is not another run's leftover.
  std::wstring same_temp = fresh_directory(L"roles_same");
  Background same = start_background(exe, L"pid sleep 120000", same_temp, dir + L"\\same_out.txt");
  CreateDirectoryW((dir + L"\\copy").c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(exe.c_str(), (dir + L"\\copy\\sv_probe.exe").c_str(), FALSE));
  Background copy = start_background(dir + L"\\copy\\sv_probe.exe", L"pid sleep 120000",
                                     fresh_directory(L"roles_copy"), dir + L"\\copy_out.txt");
  std::string same_out = wait_for_line(same.out_path, "pid=", 200);
  std::string copy_out = wait_for_line(copy.out_path, "pid=", 200);
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

  // The variable naming the live launcher makes a child, which extracts nothing: without that
  // run's tokens it looks for the DLL in a directory nobody made...
  RunOptions lost = with_temp(temp);
  lost.set_env.push_back(L"VELDRO_ONEFILE_PARENT=" + live);
  RunResult r = run_launcher(exe, L"args", lost);
  EXPECT_EQ(r.exit_code, 2u);
  EXPECT_EQ(r.out, "");
  // The main DLL itself is not there: no import to name.
  EXPECT_EQ(r.err, "Error, load DLL. ([Error 126] " + system_text(126) + ")\r\n");
  // ...and given tokens that climb out of TEMP, it still writes nothing, there or anywhere on
  // the way. (Whoever can set a process's environment and start the same exe runs as the same
  // user already; the tokens are not checked further.)
  RunOptions climbing = lost;
  climbing.set_env.push_back(L"VELDRO_ONEFILE_TIME_US=1");
  climbing.set_env.push_back(L"VELDRO_ONEFILE_RANDOM=x\\..\\..\\..\\climbed");
  RunResult climbed = run_launcher(exe, L"args", climbing);
  EXPECT_EQ(climbed.exit_code, 2u);
  EXPECT_EQ(climbed.out, "");
  EXPECT_EQ(climbed.err.rfind("Error, load DLL. ([Error ", 0), 0u) << climbed.err;
  EXPECT_FALSE(path_exists(temp.substr(0, temp.rfind(L'\\')) + L"\\climbed"));
  // A blank or a plus sign before the number still names that process: a child again, which
  // then refuses the variable as its {PID} (digits only) and aborts before entering anything.
  for (const std::wstring& prefix : {L" ", L"+"}) {
    RunOptions options = with_temp(temp);
    options.set_env.push_back(L"VELDRO_ONEFILE_PARENT=" + prefix + live);
    RunResult child = run_launcher(exe, L"args", options);
    EXPECT_EQ(child.exit_code, 3u) << "[" << utf8(prefix) << "]";
    EXPECT_EQ(child.out, "");
  }
  EXPECT_TRUE(names_in(temp).empty());
  // The live runs end by their applications' end, and clean up.
  EXPECT_EQ(end_background_application(same, same_out), 0u);
  EXPECT_EQ(end_background_application(copy, copy_out), 0u);
  EXPECT_TRUE(leftovers(same_temp).empty());
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
    std::string target = folder_of(value(r.out, "path="));
    // A short name typed keeps its short folder: the path is made absolute, never longer.
    std::string folder = c.type_short_name ? folder_of(utf8(short_exe)) : utf8(c.folder);
    EXPECT_EQ(folder_of(target), folder) << label;
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
// A chain of parents: launchers started by a packaged application.
//
// A launcher that fails the role check is a parent, even when the handoff variables show that
// it runs inside another run; it extracts into a directory of its own. That is kept on purpose:
// the packaged application starting another onefile program (or a copy of itself installed
// elsewhere) looks exactly like that, and a parent never reuses the inherited tokens, so the
// nested run cannot land in, or clean up, the outer run's directory.

TEST(ChainOfParents, AnotherOnefileExeStartedByTheApplicationRunsAsAParentOfItsOwn) {
  std::wstring temp = fresh_directory(L"chain_temp");
  std::wstring other = fresh_directory(L"chain_other") + L"\\sv_probe.exe";
  ASSERT_TRUE(CopyFileW(bin(L"sv_probe.exe").c_str(), other.c_str(), FALSE));
  RunResult r = run_launcher(bin(L"sv_probe.exe"),
                             L"args run " + quote(other) + L" \"env VELDRO_ONEFILE_PARENT args exit 7\" exit 3",
                             with_temp(temp));
  EXPECT_EQ(r.exit_code, 3u) << r.err;
  EXPECT_EQ(value(r.out, "run exit="), "7");
  std::vector<std::string> paths = values(r.out, "path=");
  ASSERT_EQ(paths.size(), 2u) << r.out;
  EXPECT_NE(folder_of(paths[0]), folder_of(paths[1]));
  EXPECT_EQ(folder_of(folder_of(paths[1])), utf8(temp));
  // The inner run's parent is the inner launcher, not the outer one.
  EXPECT_NE(value(r.out, "VELDRO_ONEFILE_PARENT="), std::to_string(r.pid));
  EXPECT_EQ(leftovers(temp).size(), 0u);
}

// The variables name the live outer launcher of this same exe: the inner copy takes the child
// role and enters the outer directory with the outer run's tokens, extracting nothing.
TEST(ChainOfParents, TheSameExeStartedByTheApplicationJoinsTheRunningDirectory) {
  std::wstring temp = fresh_directory(L"chain_same");
  RunResult r = run_launcher(bin(L"sv_probe.exe"),
                             L"args run " + quote(bin(L"sv_probe.exe")) + L" \"args exit 8\" exit 0",
                             with_temp(temp));
  EXPECT_EQ(r.exit_code, 0u) << r.err;
  EXPECT_EQ(value(r.out, "run exit="), "8");
  std::vector<std::string> paths = values(r.out, "path=");
  ASSERT_EQ(paths.size(), 2u) << r.out;
  EXPECT_EQ(paths[0], paths[1]);
  EXPECT_EQ(leftovers(temp).size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// DLL search

// A veldrodep.dll planted where the default DLL search looks (beside the launcher exe, the
// application folder; the current directory; a folder on PATH) is never loaded: the payload's
// copy is, and without one the load fails.
TEST(DllSearch, APlantedDependencyIsNeverLoaded) {
  const std::wstring impostor = bin(L"sv_dep_impostor\\veldrodep.dll");
  wchar_t path_value[32768] = L"";
  GetEnvironmentVariableW(L"PATH", path_value, 32768);
  const struct {
    const char* where;
    int folder;  // 0: beside the exe, 1: the current directory, 2: on PATH
  } cases[] = {{"beside the exe", 0}, {"in the current directory", 1}, {"on PATH", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    const std::wstring n = std::to_wstring(c.folder);
    const std::wstring temp = fresh_directory(L"search_temp" + n);
    const std::wstring folders[] = {fresh_directory(L"search_app" + n), fresh_directory(L"search_cwd" + n),
                                    fresh_directory(L"search_path" + n)};
    for (const wchar_t* exe : {L"sv_dep.exe", L"sv_missing_dep.exe"}) {
      ASSERT_TRUE(CopyFileW(bin(exe).c_str(), (folders[0] + L"\\" + exe).c_str(), FALSE));
    }
    const std::wstring planted = folders[c.folder] + L"\\veldrodep.dll";
    ASSERT_TRUE(CopyFileW(impostor.c_str(), planted.c_str(), FALSE));
    // The default search of a plain program finds the planted copy from the current directory
    // and from PATH (the application folder comes first in every search order).
    if (c.folder != 0) {
      wchar_t own_cwd[MAX_PATH];
      GetCurrentDirectoryW(MAX_PATH, own_cwd);
      SetCurrentDirectoryW(folders[1].c_str());
      SetEnvironmentVariableW(L"PATH", (folders[2] + L";" + path_value).c_str());
      HMODULE loaded = LoadLibraryW(L"veldrodep.dll");
      SetEnvironmentVariableW(L"PATH", path_value);
      SetCurrentDirectoryW(own_cwd);
      ASSERT_NE(loaded, nullptr);
      auto origin = reinterpret_cast<const wchar_t* (*)()>(
          reinterpret_cast<void*>(GetProcAddress(loaded, "dependency_origin")));
      EXPECT_STREQ(origin(), L"impostor");
      FreeLibrary(loaded);
    }

    RunOptions options = with_temp(temp);
    options.cwd = folders[1];
    options.set_env.push_back(L"PATH=" + folders[2] + L";" + path_value);
    RunResult r = run_launcher(folders[0] + L"\\sv_dep.exe", L"", options);
    EXPECT_EQ(r.exit_code, 0u) << r.err;
    EXPECT_EQ(r.out.rfind("dependency: payload from " + utf8(temp) + "\\onefile_", 0), 0u) << r.out;
    EXPECT_EQ(r.out.size() - r.out.rfind("\\veldrodep.dll\n"), 15u) << r.out;

    RunResult missing = run_launcher(folders[0] + L"\\sv_missing_dep.exe", L"", options);
    EXPECT_EQ(missing.exit_code, 2u) << missing.out;
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err.rfind("Error, load DLL. ([Error 126] ", 0), 0u) << missing.err;
    EXPECT_TRUE(leftovers(temp).empty());
  }
}

}  // namespace
