// Whole launchers extracting for real: the failure lines of files that cannot be created,
// names that would leave the target directory (one of each way out; which names are unsafe is
// tested on the host), and the longest entry name extracted and removed. The failing launchers
// extract into "{TEMP}\target"; each test points TEMP at a fresh folder. (A disk that fills up:
// reliability_temp_test.cpp; links planted in the target: cleanup_handler_test.cpp.)
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "launcher_runs.h"
#include "link_support.h"
#include "process_runner.h"

namespace {

const wchar_t* const kUnsafeNames[] = {
#include "extract_unsafe_names.inc"
};

std::wstring unsafe_line(const std::wstring& name) {
  return L"Error, unsafe entry name '" + name + L"' in attached data.\r\n";
}

TEST(ExtractionFailures, AFileThatCannotBeCreatedEndsWithTheOpenLine) {
  // The payload writes "data\inner.txt", then a file "data" where that folder now stands.
  const std::wstring temp = fresh_directory(L"open_clash");
  RunResult clash = run_launcher(bin(L"fixture_dir_clash.exe"), L"", with_temp(temp));
  EXPECT_EQ(clash.exit_code, 2u);
  EXPECT_EQ(clash.out, "");
  EXPECT_EQ(clash.err, utf8(L"Error, failed to open '" + temp + L"\\target\\data' for writing.\r\n"));
  // What was written before stays; the target is not removed.
  EXPECT_EQ(read_file(temp + L"\\target\\data\\inner.txt"), "inner\n");
  remove_tree(temp);

  // A name component longer than any file system takes (255 units): the folder cannot be
  // made and the file cannot be opened. (Access denied cannot be produced here: the tests run
  // as root, Wine overwrites even a file marked read-only, and a target folder prepared in
  // advance is not the launcher's to write into.)
  const std::wstring long_temp = fresh_directory(L"open_long");
  const std::wstring long_name = std::wstring(300, L'n') + L"\\file.txt";
  RunResult too_long = run_launcher(bin(L"fixture_long_component.exe"), L"", with_temp(long_temp));
  EXPECT_EQ(too_long.exit_code, 2u);
  EXPECT_EQ(too_long.out, "");
  EXPECT_EQ(too_long.err,
            utf8(L"Error, failed to open '" + long_temp + L"\\target\\" + long_name + L"' for writing.\r\n"));
  EXPECT_EQ(names_in(long_temp + L"\\target"), std::vector<std::wstring>({L"app.dll"}));
  remove_tree(long_temp);
}

TEST(ExtractionFailures, UnsafeNamesAreRefusedAndNothingLandsOutside) {
  ASSERT_EQ(sizeof kUnsafeNames / sizeof kUnsafeNames[0], 4u);
  const std::string main_dll = read_file(test_bin_dir() + L"probe.dll");
  ASSERT_FALSE(main_dll.empty());
  for (size_t i = 0; i < sizeof kUnsafeNames / sizeof kUnsafeNames[0]; ++i) {
    const std::wstring name = kUnsafeNames[i];
    const std::wstring temp = fresh_directory(L"unsafe_" + std::to_wstring(i));
    // A working folder of its own, so that a drive-relative name would land in sight.
    const std::wstring cwd = temp + L"\\cwd";
    CreateDirectoryW(cwd.c_str(), nullptr);
    RunOptions options = with_temp(temp);
    options.cwd = cwd;
    RunResult r = run_launcher(bin(L"fixture_unsafe_" + std::to_wstring(i) + L".exe"), L"", options);
    EXPECT_EQ(r.exit_code, 2u) << utf8(name);
    EXPECT_EQ(r.out, "") << utf8(name);
    EXPECT_EQ(r.err, utf8(unsafe_line(name))) << utf8(name);
    // Only the main entry was written, and nothing else appeared anywhere in reach.
    EXPECT_EQ(names_in(temp), std::vector<std::wstring>({L"cwd", L"target"})) << utf8(name);
    EXPECT_EQ(names_in(cwd), std::vector<std::wstring>()) << utf8(name);
    EXPECT_EQ(names_in(temp + L"\\target"), std::vector<std::wstring>({L"app.dll"})) << utf8(name);
    EXPECT_TRUE(read_file(temp + L"\\target\\app.dll") == main_dll) << utf8(name);
    remove_tree(temp);
  }
  for (const wchar_t* stray : {L"C:\\veldro_evil_abs.txt", L"C:\\veldro_evil_drive.txt"}) {
    EXPECT_FALSE(path_exists(stray)) << utf8(stray);
  }
}

// A launcher run in the background: its application says it runs (a ready file), then waits
// until the test writes a go file. The target directory is known once the application runs.
struct HeldRun {
  RunResult result;
  std::thread thread;
  std::wstring go;
  std::wstring target;
};

void start_held_run(HeldRun* run, const std::wstring& launcher, const std::wstring& temp,
                    unsigned exit_code) {
  run->go = temp + L"_go";
  const std::wstring ready = temp + L"_ready";
  DeleteFileW(run->go.c_str());
  DeleteFileW(ready.c_str());
  const std::wstring args = L"touch \"" + ready + L"\" wait-file \"" + run->go + L"\" exit " +
                            std::to_wstring(exit_code);
  run->thread = std::thread([run, launcher, args, temp] {
    run->result = run_launcher(bin(launcher + L".exe"), args, with_temp(temp));
  });
  for (int tries = 0; tries < 3000 && !path_exists(ready); ++tries) Sleep(10);
  std::vector<std::wstring> found = list_matching(temp, L"onefile_");
  if (path_exists(ready) && found.size() == 1) run->target = temp + L"\\" + found[0];
  DeleteFileW(ready.c_str());
}

void finish_held_run(HeldRun* run) {
  write_file(run->go, "go");
  run->thread.join();
  DeleteFileW(run->go.c_str());
}

// An entry name of 1023 units (the longest the format takes: four components of 255), in a
// path of more than 1,100 units, is extracted, and the run leaves nothing behind.
TEST(LauncherCleanup, ALongestEntryNameIsExtractedAndRemoved) {
  const std::wstring name = std::wstring(255, L'a') + L"\\" + std::wstring(255, L'b') + L"\\" +
                            std::wstring(255, L'c') + L"\\" + std::wstring(251, L'd') + L".txt";
  ASSERT_EQ(name.size(), 1023u);
  const std::wstring temp = fresh_directory(L"longest_name");
  HeldRun run;
  start_held_run(&run, L"extract_long_name_app", temp, 4);
  const std::wstring path = run.target + L"\\" + name;
  std::string content = read_file(L"\\\\?\\" + path);
  finish_held_run(&run);
  ASSERT_FALSE(run.target.empty());
  EXPECT_GT(path.size(), 1100u);
  EXPECT_EQ(content, "longest name\n");
  EXPECT_EQ(run.result.exit_code, 4u);
  EXPECT_EQ(run.result.err, "");
  EXPECT_EQ(names_in(temp), std::vector<std::wstring>());
  remove_tree(temp);
}

}  // namespace
