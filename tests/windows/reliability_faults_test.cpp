// Faults of the packaged application under Wine, and what the launcher does about them: an
// access violation, a child killed from outside, ExitProcess from another thread, a file held
// open by a detached grandchild, a child that cannot be started. Every run gets a TEMP of its
// own, so that what a launcher leaves behind can be counted.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "launcher_runs.h"
#include "link_support.h"
#include "process_runner.h"

namespace {

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
  EXPECT_EQ(wait_background(b), 77u);
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
  EXPECT_EQ(wait_background(b), 2u);
  std::string out = read_file(dir + L"\\out.txt");
  EXPECT_EQ(out.rfind("Error, couldn't launch child ([Error 2] ", 0), 0u) << out;
  EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
  EXPECT_EQ(names_in(temp).size(), 0u);
}

}  // namespace
