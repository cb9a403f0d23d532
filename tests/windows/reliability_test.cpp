// Reliability of whole launchers under Wine: quoting against the system's and the runtime's
// splitters, 1,000 runs in a row and 50 at once, faults of the packaged application and of the
// disk, hostile handoff variables and planted DLLs, and launchers started from a packaged
// application (a chain of parents). Every run gets a TEMP of its own, so that what a launcher
// leaves behind can be counted.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "launcher_runs.h"
#include "link_support.h"
#include "process_runner.h"
#include "format/command_line.h"

namespace {

// The folder of a "path=" line: the target directory of that run.
std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('\\')); }

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

uint64_t file_size(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// ---------------------------------------------------------------------------------------------
// Quoting against the real splitters

// Random argument vectors from characters that matter to the splitting rules, and some that do
// not; no '#' (the batch separator below). Seeded: the same vectors on every run.
std::vector<std::vector<std::wstring>> random_vectors(unsigned seed, size_t count) {
  const std::wstring alphabet = L"  \t\"\"\"\\\\\\\\ab-*?\u00e9\u65e5\n\v'&^%";
  std::mt19937 generator(seed);
  std::vector<std::vector<std::wstring>> vectors(count);
  for (auto& v : vectors) {
    size_t arguments = 1 + generator() % 6;
    for (size_t a = 0; a < arguments; ++a) {
      std::wstring argument;
      size_t length = generator() % 10;
      for (size_t i = 0; i < length; ++i) {
        if (generator() % 40 == 0) {
          argument += L"\U0001F600";  // a surrogate pair
        } else {
          argument += alphabet[generator() % alphabet.size()];
        }
      }
      v.push_back(argument);
    }
  }
  return vectors;
}

// The arguments as the parent puts them on the child's line: a blank, then the quoted argument
// (an empty one adds nothing and disappears in the split).
std::wstring quoted_line(const std::vector<std::wstring>& arguments) {
  std::wstring line;
  for (const std::wstring& a : arguments) {
    std::wstring quoted(quoted_length(a.c_str()) + 1, L'\0');
    quote_argument(&quoted[0], a.c_str());
    quoted.pop_back();
    line += L" " + quoted;
  }
  return line;
}

std::vector<std::wstring> without_empty(const std::vector<std::wstring>& arguments) {
  std::vector<std::wstring> kept;
  for (const std::wstring& a : arguments) {
    if (!a.empty()) kept.push_back(a);
  }
  return kept;
}

TEST(QuotingRoundTrip, CommandLineToArgvWGivesBackFiveThousandRandomVectors) {
  const auto vectors = random_vectors(20261209, 5000);
  size_t failures = 0;
  for (size_t k = 0; k < vectors.size(); ++k) {
    std::wstring line = L"\"C:\\Program Files\\app.exe\"" + quoted_line(vectors[k]);
    int count = 0;
    wchar_t** split = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    std::vector<std::wstring> got(split + 1, split + count);
    LocalFree(split);
    if (got != without_empty(vectors[k]) && ++failures <= 5) ADD_FAILURE() << "vector " << k << ": " << utf8(line);
  }
  EXPECT_EQ(failures, 0u);
}

TEST(QuotingRoundTrip, TheRuntimesStartUpGivesBackFiveThousandRandomVectors) {
  const auto vectors = random_vectors(20261210, 5000);
  const std::wstring probe = bin(L"reliability_argv_probe.exe");
  size_t next = 0, checked = 0, processes = 0;
  while (next < vectors.size()) {
    // As many vectors as fit on one command line, separated by a "#" argument.
    std::wstring line = quote(probe);
    std::vector<std::vector<std::wstring>> expected;
    while (next < vectors.size()) {
      std::wstring part = quoted_line(vectors[next]) + L" #";
      if (line.size() + part.size() > 30000) break;
      line += part;
      expected.push_back(without_empty(vectors[next++]));
    }
    RunResult r = run_program(probe, line);
    ++processes;
    ASSERT_EQ(r.exit_code, 0u);
    std::vector<std::vector<std::wstring>> got(1);
    size_t at = r.out.find('\n') + 1;  // element 0 is the program
    while (at < r.out.size()) {
      size_t end = r.out.find('\n', at);
      std::string hex = r.out.substr(at, end - at);
      std::wstring argument;
      for (size_t i = 0; i + 4 <= hex.size(); i += 4) argument += static_cast<wchar_t>(std::stoul(hex.substr(i, 4), nullptr, 16));
      if (argument == L"#") {
        got.emplace_back();
      } else {
        got.back().push_back(argument);
      }
      at = end + 1;
    }
    got.pop_back();  // what follows the last separator: nothing
    ASSERT_EQ(got.size(), expected.size()) << "process " << processes;
    for (size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k], expected[k]) << "vector " << (next - expected.size() + k);
    }
    checked += got.size();
  }
  EXPECT_EQ(checked, vectors.size());
  RecordProperty("processes", static_cast<int>(processes));
}

// ---------------------------------------------------------------------------------------------
// Stress

TEST(Stress, AThousandRunsInARow) {
  std::wstring temp = fresh_directory(L"rel_thousand");
  std::set<std::string> directories;
  std::atomic<int> wine_start_failures{0};
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 1000; ++i) {
    int code = (i * 37) % 256;
    RunResult r = run_launcher_past_wine_start_failure(
        bin(L"rel_probe.exe"), L"args exit " + std::to_wstring(code), with_temp(temp), &wine_start_failures);
    ASSERT_FALSE(r.timed_out) << i;
    ASSERT_EQ(r.exit_code, static_cast<unsigned long>(code)) << i << r.err;
    directories.insert(folder_of(value(r.out, "path=")));
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("1000 sequential runs: %.1f s (%.0f ms per run); Wine failed to start %d children\n",
         seconds, seconds, wine_start_failures.load());
  EXPECT_LE(wine_start_failures.load(), 3);
  EXPECT_EQ(directories.size(), 1000u);
  EXPECT_EQ(leftovers(temp).size(), 0u);
  EXPECT_EQ(names_in(temp).size(), 0u);  // nothing else either
}

TEST(Stress, FiftyLaunchersAtOnce) {
  std::wstring temp = fresh_directory(L"rel_fifty");
  std::vector<RunResult> results(50);
  std::vector<std::thread> runs;
  std::atomic<int> wine_start_failures{0};
  auto start = std::chrono::steady_clock::now();
  for (size_t i = 0; i < results.size(); ++i) {
    runs.emplace_back([i, &results, &temp, &wine_start_failures] {
      results[i] = run_launcher_past_wine_start_failure(
          bin(L"rel_probe.exe"), L"args sleep 500 exit " + std::to_wstring(100 + i), with_temp(temp),
          &wine_start_failures);
    });
  }
  for (std::thread& t : runs) t.join();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("50 concurrent runs: %.1f s; Wine failed to start %d children\n", seconds,
         wine_start_failures.load());
  EXPECT_LE(wine_start_failures.load(), 3);
  std::set<std::string> directories;
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_FALSE(results[i].timed_out) << i;
    EXPECT_EQ(results[i].exit_code, 100 + i) << results[i].err;
    directories.insert(folder_of(value(results[i].out, "path=")));
  }
  EXPECT_EQ(directories.size(), 50u);
  EXPECT_EQ(leftovers(temp).size(), 0u);
  EXPECT_EQ(names_in(temp).size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Faults of the packaged application

DWORD finish(Background& b) {
  DWORD code = 0xDEAD;
  if (WaitForSingleObject(b.process.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(b.process.hProcess, &code);
  CloseHandle(b.process.hThread);
  CloseHandle(b.process.hProcess);
  return code;
}

TEST(Faults, AnAccessViolationComesBackAsTheExitCodeAndTheDirectoryGoes) {
  std::wstring temp = fresh_directory(L"rel_crash");
  RunResult r = run_launcher(bin(L"rel_probe.exe"), L"echo before crash", with_temp(temp));
  EXPECT_EQ(r.exit_code, 0xC0000005u);
  // Wine's debugger reports the fault on the inherited output after the application's line;
  // the launcher adds no line of its own.
  const std::string head = "before\nUnhandled exception: page fault on write access to 0x0000000000000000";
  EXPECT_EQ(r.out.substr(0, head.size()), head);
  EXPECT_EQ(r.out.find("Error,"), std::string::npos);
  EXPECT_EQ(r.err.find("Error,"), std::string::npos);
  EXPECT_EQ(leftovers(temp).size(), 0u);
}

TEST(Faults, AChildKilledFromOutsideGivesItsCodeAndTheDirectoryGoes) {
  std::wstring temp = fresh_directory(L"rel_killed");
  std::wstring dir = fresh_directory(L"rel_killed_out");
  Background b = start_background(bin(L"rel_probe.exe"), L"pid args sleep 60000", temp, dir + L"\\out.txt");
  std::string out = wait_for_line(b.out_path, "path=", 600);
  DWORD child_id = std::stoul(value(out, "pid="));
  ASSERT_NE(child_id, b.process.dwProcessId);  // the application runs in the child, not the launcher
  EXPECT_EQ(leftovers(temp).size(), 1u);
  HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, child_id);
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(TerminateProcess(child, 77));
  CloseHandle(child);
  EXPECT_EQ(finish(b), 77u);
  EXPECT_EQ(read_file(b.out_path), out);  // no line added by the launcher
  EXPECT_EQ(leftovers(temp).size(), 0u);
}

TEST(Faults, ExitProcessFromAnotherThreadGivesItsCode) {
  std::wstring temp = fresh_directory(L"rel_thread_exit");
  auto start = std::chrono::steady_clock::now();
  RunResult r = run_launcher(bin(L"rel_probe.exe"), L"exit-thread 0x1234", with_temp(temp));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.exit_code, 0x1234u) << r.err;
  EXPECT_LT(seconds, 30.0);  // the main thread's 60 s sleep did not hold the run
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(leftovers(temp).size(), 0u);
}

// A detached grandchild holding a file of the target directory open when the application ends:
// the clean-up removes what it can and, after its attempts, leaves that file (and its folder)
// behind. The design can do no better without killing processes it did not start.
TEST(Faults, AFileHeldOpenByADetachedGrandchildIsLeftBehindAlone) {
  std::wstring temp = fresh_directory(L"rel_held");
  std::wstring release = fresh_directory(L"rel_held_release") + L"\\release";
  RunResult r = run_launcher(bin(L"rel_probe.exe"),
                             L"hold " + quote(bin(L"reliability_holder.exe")) + L" reliability_holder.cpp " +
                                 quote(release) + L" exit 6",
                             with_temp(temp));
  EXPECT_EQ(r.exit_code, 6u) << r.err;
  EXPECT_EQ(r.out, "holding\n");
  EXPECT_EQ(r.err, "");
  std::vector<std::wstring> left = leftovers(temp);
  ASSERT_EQ(left.size(), 1u);
  const std::wstring target = temp + L"\\" + left[0];
  EXPECT_EQ(names_in(target), std::vector<std::wstring>{L"reliability_holder.cpp"});  // probe.dll is gone
  write_file(release, "");
  for (int i = 0; i < 500 && path_exists(target + L"\\reliability_holder.cpp"); ++i) {
    DeleteFileW((target + L"\\reliability_holder.cpp").c_str());
    Sleep(20);
  }
  RemoveDirectoryW(target.c_str());
  EXPECT_FALSE(path_exists(target));  // released, the file goes: nothing else held it
}

// A child that cannot be started: the exe is renamed while the launcher is suspended at its
// start, so that starting a copy of itself by its module path fails. The failure line, exit
// code 2, and the extracted directory removed before the report.
TEST(Faults, AChildThatCannotStartEndsWithTheLaunchLineAndLeavesNothing) {
  std::wstring temp = fresh_directory(L"rel_no_child");
  std::wstring dir = fresh_directory(L"rel_no_child_out");
  std::wstring exe = dir + L"\\rel_probe.exe";
  ASSERT_TRUE(CopyFileW(bin(L"rel_probe.exe").c_str(), exe.c_str(), FALSE));
  Background b = start_background(exe, L"args", temp, dir + L"\\out.txt", CREATE_SUSPENDED);
  ASSERT_NE(b.process.hProcess, nullptr);
  ASSERT_TRUE(MoveFileW(exe.c_str(), (dir + L"\\renamed.exe").c_str())) << GetLastError();
  ResumeThread(b.process.hThread);
  EXPECT_EQ(finish(b), 2u);
  std::string out = read_file(dir + L"\\out.txt");
  EXPECT_EQ(out.rfind("Error, couldn't launch child ([Error 2] ", 0), 0u) << out;
  EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
  EXPECT_EQ(names_in(temp).size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Faults of the temp folder

TEST(TempFolder, AMissingTempFolderIsCreatedAndOnlyTheTargetIsRemoved) {
  std::wstring base = fresh_directory(L"rel_missing_temp");
  std::wstring temp = base + L"\\not\\there";
  RunResult r = run_launcher(bin(L"rel_probe.exe"), L"args exit 4", with_temp(temp));
  EXPECT_EQ(r.exit_code, 4u) << r.err;
  EXPECT_EQ(folder_of(folder_of(value(r.out, "path="))), utf8(temp));
  // The launcher made the missing folders on its way; they are the user's temp folder now and
  // stay, empty.
  EXPECT_TRUE(path_exists(temp));
  EXPECT_EQ(names_in(temp).size(), 0u);
}

// A temp folder longer than the system's temp path takes (GetTempPathW gives nothing past
// MAX_PATH): an empty {TEMP} is a failed expansion, never a target at the root of the drive.
TEST(TempFolder, ATempPathTheSystemCannotGiveFailsTheExpansionAndNothingLandsInTheRoot) {
  std::wstring cwd = fresh_directory(L"rel_long_temp");
  std::wstring temp = cwd + L"\\" + std::wstring(300 - cwd.size(), L't');
  RunOptions options = with_temp(temp);
  options.cwd = cwd;
  std::wstring root = cwd.substr(0, 2);  // the current drive
  RunResult r = run_launcher(bin(L"rel_probe.exe"), L"args", options);
  EXPECT_EQ(r.exit_code, 3u) << r.out;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error, couldn't runtime expand spec '{TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM}'.\r\n");
  EXPECT_EQ(leftovers(root).size(), 0u);
  EXPECT_EQ(names_in(cwd).size(), 0u);
}

// A launcher that could not create its target directory below temp: that line with the
// system's reason (error_head, such as "[Error 3] "), exit code 2, nothing on stdout.
void expect_target_not_created_below(const std::wstring& temp, const std::string& error_head,
                                     const RunResult& r) {
  EXPECT_EQ(r.exit_code, 2u);
  EXPECT_EQ(r.out, "");
  const std::string head = "Error, couldn't create target directory '" + utf8(temp) + "\\onefile_";
  EXPECT_EQ(r.err.substr(0, head.size()), head) << r.err;
  EXPECT_NE(r.err.find("'. ([Error " + error_head), std::string::npos) << r.err;
  EXPECT_TRUE(ends_with(r.err, ")\r\n")) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

TEST(TempFolder, ATempPathThroughAFileEndsWithTheCreationLineAndWritesNothing) {
  std::wstring base = fresh_directory(L"rel_file_temp");
  ASSERT_TRUE(write_file(base + L"\\file", "x"));
  std::wstring temp = base + L"\\file";
  RunResult r = run_launcher(bin(L"rel_probe.exe"), L"args", with_temp(temp));
  expect_target_not_created_below(temp, "3] ", r);  // ERROR_PATH_NOT_FOUND
  EXPECT_EQ(names_in(base), std::vector<std::wstring>{L"file"});
  EXPECT_EQ(read_file(temp), "x");
}

std::wstring disk_folder(const wchar_t* variable) {
  wchar_t unix_dir[4096];
  DWORD n = GetEnvironmentVariableW(variable, unix_dir, 4096);
  if (n == 0 || n >= 4096) return {};
  std::wstring folder = std::wstring(L"Z:") + unix_dir;
  std::replace(folder.begin(), folder.end(), L'/', L'\\');
  return folder;
}

// TEMP on a 1 MiB tmpfs (reliability_disk.sh small): the main DLL (the probe, packed by the
// fixture generator as app.dll) fits, the 2 MiB entry does not. A failure line ends the run where
// it is: what was written stays (no rollback).
TEST(Disk, FullDuringExtractionEndsWithTheUnpackLineAndLeavesWhatWasWritten) {
  std::wstring temp = disk_folder(L"VELDRO_SMALL_DISK");
  if (temp.empty()) GTEST_SKIP() << "no small disk (run through reliability_disk.sh small)";
  RunResult r = run_launcher(bin(L"rel_disk_full.exe"), L"", with_temp(temp));
  EXPECT_EQ(r.exit_code, 2u);
  EXPECT_EQ(r.out, "");
  const std::string head = "Error, couldn't unpack file to target path. ([Error 112] ";
  EXPECT_EQ(r.err.substr(0, head.size()), head) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  std::vector<std::wstring> left = leftovers(temp);
  ASSERT_EQ(left.size(), 1u);
  const std::wstring target = temp + L"\\" + left[0];
  EXPECT_EQ(names_in(target), (std::vector<std::wstring>{L"app.dll", L"data"}));
  EXPECT_EQ(file_size(target + L"\\app.dll"), file_size(bin(L"probe.dll")));  // the main entry, whole
  uint64_t partial = file_size(target + L"\\data\\big.bin");
  EXPECT_LT(partial, 2097152u);
  remove_tree(target);
}

// TEMP on a read-only tmpfs (reliability_disk.sh readonly): the target directory cannot be
// made, and the run ends there with the system's reason; nothing appears.
TEST(Disk, AReadOnlyTempEndsWithTheCreationLineAndWritesNothing) {
  std::wstring temp = disk_folder(L"VELDRO_READONLY_DISK");
  if (temp.empty()) GTEST_SKIP() << "no read-only disk (run through reliability_disk.sh readonly)";
  RunResult r = run_launcher(bin(L"rel_probe.exe"), L"args", with_temp(temp));
  expect_target_not_created_below(temp, "", r);
  EXPECT_EQ(names_in(temp).size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Hostile environment

// An impostor veldrodep.dll next to the launcher exe (the application folder, first in the
// default DLL search) is never taken: the payload's copy is, and without one the load fails.
TEST(Hostile, ADllPlantedNextToTheExeIsNeverLoaded) {
  std::wstring temp = fresh_directory(L"rel_next_temp");
  std::wstring app = fresh_directory(L"rel_next_app");
  for (const wchar_t* exe : {L"rel_dep.exe", L"rel_missing_dep.exe"}) {
    ASSERT_TRUE(CopyFileW(bin(exe).c_str(), (app + L"\\" + exe).c_str(), FALSE));
  }
  ASSERT_TRUE(CopyFileW(bin(L"rel_dep_impostor\\veldrodep.dll").c_str(), (app + L"\\veldrodep.dll").c_str(), FALSE));

  RunOptions options = with_temp(temp);
  options.cwd = app;  // the current directory too
  RunResult r = run_launcher(app + L"\\rel_dep.exe", L"", options);
  EXPECT_EQ(r.exit_code, 0u) << r.err;
  EXPECT_EQ(r.out.rfind("dependency: payload from " + utf8(temp) + "\\onefile_", 0), 0u) << r.out;

  RunResult missing = run_launcher(app + L"\\rel_missing_dep.exe", L"", options);
  EXPECT_EQ(missing.exit_code, 2u) << missing.out;
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err.rfind("Error, load DLL. ([Error 126] ", 0), 0u) << missing.err;
  EXPECT_EQ(leftovers(temp).size(), 0u);
}

// Inherited handoff variables of every shape: a parent forgets them and computes fresh tokens,
// so the run neither crashes nor writes anywhere but in a fresh folder below its own TEMP.
TEST(Hostile, InheritedHandoffVariablesOfEveryShapeAreReplacedByFreshValues) {
  std::wstring base = fresh_directory(L"rel_handoff");
  std::wstring temp = base + L"\\temp";
  CreateDirectoryW(temp.c_str(), nullptr);
  const std::wstring shapes[] = {
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
  };
  for (const std::wstring& shape : shapes) {
    std::string label = utf8(shape.substr(0, 24));
    RunOptions options = with_temp(temp);
    options.unset_env.clear();
    for (const wchar_t* name : kHandoffVariables) options.set_env.push_back(std::wstring(name) + L"=" + shape);
    RunResult r = run_launcher(bin(L"rel_probe.exe"),
                               L"env VELDRO_ONEFILE_TIME_US env VELDRO_ONEFILE_RANDOM env VELDRO_ONEFILE_START "
                               L"env VELDRO_ONEFILE_PARENT args exit 11",
                               options);
    EXPECT_FALSE(r.timed_out) << label;
    EXPECT_EQ(r.exit_code, 11u) << label << r.out << r.err;
    EXPECT_EQ(r.err, "") << label;
    std::string time_us = value(r.out, "VELDRO_ONEFILE_TIME_US=");
    std::string random = value(r.out, "VELDRO_ONEFILE_RANDOM=");
    EXPECT_NE(wide(time_us), shape) << label;
    EXPECT_NE(wide(random), shape) << label;
    EXPECT_EQ(time_us.find_first_not_of("0123456789"), std::string::npos) << time_us;
    EXPECT_EQ(random.find_first_of("\\/.:"), std::string::npos) << random;
    EXPECT_EQ(values(r.out, "VELDRO_ONEFILE_START unset").size(), 1u) << label;
    EXPECT_EQ(value(r.out, "VELDRO_ONEFILE_PARENT="), std::to_string(r.pid)) << label;
    // The directory is the template's, below this run's TEMP, made of the fresh tokens.
    EXPECT_EQ(value(r.out, "path="), utf8(temp) + "\\onefile_" + std::to_string(r.pid) + "_" + time_us + "_" +
                                         random + "\\probe.dll")
        << label;
    EXPECT_EQ(names_in(base), std::vector<std::wstring>{L"temp"}) << label;
    EXPECT_EQ(names_in(temp).size(), 0u) << label;
  }
}

// The child role takes the inherited tokens as they are: a copy whose VELDRO_ONEFILE_PARENT names
// a live launcher of the same exe, given tokens that climb out of TEMP, looks for its main DLL in
// a folder nobody made there. It writes nothing (a child never extracts) and reports the load
// failure. Whoever can set a process's environment and start the same exe runs as the same
// user already; the tokens are not checked further.
TEST(Hostile, AChildGivenClimbingTokensWritesNothingAndReportsTheLoad) {
  std::wstring base = fresh_directory(L"rel_child_tokens");
  std::wstring temp = base + L"\\temp";
  CreateDirectoryW(temp.c_str(), nullptr);
  std::wstring outer_temp = fresh_directory(L"rel_child_tokens_outer");
  Background outer = start_background(bin(L"rel_probe.exe"), L"pid args sleep 20000", outer_temp,
                                      base + L"\\outer.txt");
  std::string outer_out = wait_for_line(outer.out_path, "path=", 600);
  ASSERT_NE(outer_out.find("path="), std::string::npos);
  RunOptions options = with_temp(temp);
  options.set_env.push_back(L"VELDRO_ONEFILE_PARENT=" + std::to_wstring(outer.process.dwProcessId));
  options.set_env.push_back(L"VELDRO_ONEFILE_TIME_US=1");
  options.set_env.push_back(L"VELDRO_ONEFILE_RANDOM=x\\..\\..\\..\\climbed");
  RunResult r = run_launcher(bin(L"rel_probe.exe"), L"args", options);
  EXPECT_EQ(r.exit_code, 2u);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("Error, load DLL. ([Error ", 0), 0u) << r.err;
  EXPECT_EQ(names_in(base), (std::vector<std::wstring>{L"outer.txt", L"temp"}));
  EXPECT_EQ(names_in(temp).size(), 0u);
  EXPECT_FALSE(path_exists(base.substr(0, base.rfind(L'\\')) + L"\\climbed"));
  // The outer run ends by its application's end, and cleans up.
  HANDLE outer_child = OpenProcess(PROCESS_TERMINATE, FALSE, std::stoul(value(outer_out, "pid=")));
  ASSERT_NE(outer_child, nullptr);
  TerminateProcess(outer_child, 0);
  CloseHandle(outer_child);
  EXPECT_EQ(finish(outer), 0u);
  EXPECT_EQ(leftovers(outer_temp).size(), 0u);
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
  std::wstring temp = fresh_directory(L"rel_chain_temp");
  std::wstring other = fresh_directory(L"rel_chain_other") + L"\\rel_probe.exe";
  ASSERT_TRUE(CopyFileW(bin(L"rel_probe.exe").c_str(), other.c_str(), FALSE));
  RunResult r = run_launcher(bin(L"rel_probe.exe"),
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

TEST(ChainOfParents, TheSameExeStartedByTheApplicationJoinsTheRunningDirectory) {
  std::wstring temp = fresh_directory(L"rel_chain_same");
  RunResult r = run_launcher(bin(L"rel_probe.exe"),
                             L"args run " + quote(bin(L"rel_probe.exe")) + L" \"args exit 8\" exit 0",
                             with_temp(temp));
  EXPECT_EQ(r.exit_code, 0u) << r.err;
  EXPECT_EQ(value(r.out, "run exit="), "8");
  // The variables name the live outer launcher of this same exe: the inner copy takes the child
  // role and enters the outer directory, extracting nothing.
  std::vector<std::string> paths = values(r.out, "path=");
  ASSERT_EQ(paths.size(), 2u) << r.out;
  EXPECT_EQ(paths[0], paths[1]);
  EXPECT_EQ(leftovers(temp).size(), 0u);
}

}  // namespace
