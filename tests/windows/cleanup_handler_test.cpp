// The clean-up and the console control handler, called directly with TargetDir and the
// extraction-started flag set as a run sets them: which events delete, the bounded retry
// against a folder kept alive by an open file, links inside the target that must be removed
// without being followed, and long paths and read-only entries. How the handler waits for and
// ends a running child is tested on whole launchers under a terminal (e2e_ctrl_c.sh).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/run_state.h"
#include "base/wide.h"
#include "link_support.h"
#include "process_runner.h"
#include "supervise/console_control.h"
#include "supervise/target_removal.h"
#include "supervise/tree_removal.h"

namespace {

// target, made afresh with a few files and a subfolder, as the run's TargetDir, with no child.
std::wstring prepare_target_at(const std::wstring& target, bool extraction_started) {
  CreateDirectoryW(target.c_str(), nullptr);
  CreateDirectoryW((target + L"\\lib").c_str(), nullptr);
  write_file(target + L"\\app.dll", "main");
  write_file(target + L"\\lib\\dep.dll", "dep");
  wide_copy(TargetDir, kPathUnits, target.c_str());
  ExtractionStarted = extraction_started;
  return target;
}

std::wstring prepare_target(const std::wstring& name, bool extraction_started) {
  return prepare_target_at(fresh_link_directory(name), extraction_started);
}

// A death-test child runs its test again from the start: a target named by the pid of the
// test process, which the child inherits through the environment, is the same folder in both.
std::wstring prepare_shared_target(const std::wstring& name, bool extraction_started) {
  wchar_t owner[32];
  if (GetEnvironmentVariableW(L"VELDRO_TEST_OWNER_PID", owner, 32) == 0) {
    SetEnvironmentVariableW(L"VELDRO_TEST_OWNER_PID", std::to_wstring(GetCurrentProcessId()).c_str());
    GetEnvironmentVariableW(L"VELDRO_TEST_OWNER_PID", owner, 32);
  }
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring target = std::wstring(temp) + L"veldro_test_" + name + L"_" + owner;
  remove_tree(target);
  return prepare_target_at(target, extraction_started);
}

double seconds_since(ULONGLONG start_ms) { return (GetTickCount64() - start_ms) / 1000.0; }

constexpr int kInterruptedExitCode = static_cast<int>(0xC000013A);  // STATUS_CONTROL_C_EXIT

// The handler ends the process (in a death-test child, which runs the test up to this point
// again): the five stop events delete the target and end the run, with STATUS_CONTROL_C_EXIT
// while no child was started.
using ConsoleControlDeathTest = ::testing::Test;

TEST_F(ConsoleControlDeathTest, OnlyTheFiveStopEventsDeleteAndEndTheRun) {
  // CTRL_C, CTRL_BREAK, CTRL_CLOSE, CTRL_LOGOFF, CTRL_SHUTDOWN.
  for (DWORD type : {0u, 1u, 2u, 5u, 6u}) {
    const std::wstring target = prepare_shared_target(L"ctrl_" + std::to_wstring(type), true);
    EXPECT_EXIT(on_console_control(type), ::testing::ExitedWithCode(kInterruptedExitCode), "")
        << "control type " << type;
    EXPECT_FALSE(path_exists(target)) << "control type " << type;
  }
  for (DWORD type : {3u, 4u, 7u, 8u, 100u, 0xFFFFFFFFu}) {
    const std::wstring target = prepare_target(L"ctrl_other", true);
    EXPECT_FALSE(on_console_control(type));
    EXPECT_EQ(read_file(target + L"\\lib\\dep.dll"), "dep") << "control type " << type;
    remove_tree(target);
  }
}

TEST_F(ConsoleControlDeathTest, InterruptBeforeExtractionDeletesNothing) {
  const std::wstring target = prepare_shared_target(L"ctrl_early", false);
  EXPECT_EXIT(on_console_control(CTRL_C_EVENT), ::testing::ExitedWithCode(kInterruptedExitCode), "");
  EXPECT_EQ(read_file(target + L"\\app.dll"), "main");
  remove_tree(target);
}

// A removal that cannot do more than its first attempt stops there: a retry would only make the
// user wait its pauses (20 of 100 ms).
void expect_one_attempt(ULONGLONG start_ms, const std::string& what) {
  EXPECT_LT(seconds_since(start_ms), 1.0) << what;
}

TEST(RemoveTargetDirectory, GivesUpAfter21AttemptsOnAFolderKeptAlive) {
  const std::wstring target = prepare_target(L"cleanup_held", true);
  // Open without FILE_SHARE_DELETE: no delete can take the file while this handle lives.
  HANDLE held = CreateFileW((target + L"\\lib\\dep.dll").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ULONGLONG start = GetTickCount64();
  remove_target_directory();
  double elapsed = seconds_since(start);
  EXPECT_GE(elapsed, 1.95);  // 20 pauses of 100 ms
  EXPECT_LT(elapsed, 6.0);
  // Everything but the held file and the folders on its way is gone.
  EXPECT_EQ(names_in(target), std::vector<std::wstring>({L"lib"}));
  EXPECT_EQ(names_in(target + L"\\lib"), std::vector<std::wstring>({L"dep.dll"}));
  CloseHandle(held);

  start = GetTickCount64();
  remove_target_directory();
  EXPECT_FALSE(path_exists(target));
  expect_one_attempt(start, "after the file was released");
}

// Links inside the target must go as links or stay; what they point to is never touched.
// Wine 8 cannot remove a Unix symlink through any Win32 call without harm: it opens the
// link's target even when asked not to, so RemoveDirectoryW on a link to an empty folder
// removes that folder, and deleting a link to a file deletes the file. Under Wine the links are
// what remains of the target; on Windows they are removed as links. Either way one attempt is
// enough: a retry cannot remove more.
TEST(RemoveTargetDirectory, RemovesLinksWithoutFollowingThem) {
  const std::wstring outside = fresh_link_directory(L"cleanup_outside");
  make_link_targets(outside);
  const auto outside_before = tree_snapshot(outside);
  ASSERT_EQ(outside_before.size(), 7u);

  const std::wstring target = prepare_target(L"cleanup_links", true);
  ASSERT_TRUE(plant_every_link(outside, target));
  ASSERT_TRUE(write_file(target + L"\\sub\\plain.txt", "plain"));
  ASSERT_EQ(GetFileAttributesW((target + L"\\empty_link").c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

  ULONGLONG start = GetTickCount64();
  remove_target_directory();
  expect_one_attempt(start, "links planted in the target");

  EXPECT_EQ(tree_snapshot(outside), outside_before);
  EXPECT_FALSE(path_exists(target + L"\\app.dll"));
  EXPECT_FALSE(path_exists(target + L"\\lib"));
  EXPECT_FALSE(path_exists(target + L"\\sub\\plain.txt"));
  expect_only_links_left(target);
  unix_remove_tree(target);

  // A target that has itself been replaced by a link, to an empty folder or to a full one, is
  // removed as a link at most, never entered.
  for (const wchar_t* pointed : {L"\\empty", L"\\full"}) {
    const std::wstring moved = target + L"_as_link";
    unix_remove_tree(moved);
    ASSERT_TRUE(plant_unix_link(outside + pointed, moved));
    wide_copy(TargetDir, kPathUnits, moved.c_str());
    start = GetTickCount64();
    remove_target_directory();
    expect_one_attempt(start, "target replaced by a link to " + utf8(pointed));
    EXPECT_EQ(tree_snapshot(outside), outside_before) << utf8(pointed);
    unix_remove_tree(moved);
  }
  remove_tree(outside);
}

// Paths far past MAX_PATH and read-only files and folders go like any other. (3,600 units
// deep below the target: Wine's Unix side takes paths up to 4,096 bytes.)
TEST(RemoveTargetDirectory, RemovesLongPathsAndReadOnlyEntries) {
  const std::wstring target = prepare_target(L"cleanup_long", true);
  std::wstring deep = L"\\\\?\\" + target;
  for (int level = 0; level < 18; ++level) {
    deep += L"\\" + std::wstring(199, static_cast<wchar_t>(L'a' + level % 26));
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << level << " " << GetLastError();
  }
  ASSERT_GT(deep.size(), 3600u);
  ASSERT_TRUE(write_file(deep + L"\\deep.txt", "deep"));
  ASSERT_TRUE(path_exists(deep + L"\\deep.txt"));
  ASSERT_TRUE(SetFileAttributesW((target + L"\\app.dll").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW((target + L"\\lib").c_str(), FILE_ATTRIBUTE_READONLY));

  remove_target_directory();
  EXPECT_FALSE(path_exists(target));
}

// A target named in its short (8.3) form, as a TEMP variable may give it, is the same folder.
TEST(RemoveTargetDirectory, RemovesATargetNamedByItsShortForm) {
  const std::wstring target = prepare_target(L"cleanup_short_form", true);
  wchar_t short_form[MAX_PATH];
  DWORD length = GetShortPathNameW(target.c_str(), short_form, MAX_PATH);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, MAX_PATH);
  ASSERT_NE(std::wstring(short_form), target);  // Wine gives short names on C:
  wide_copy(TargetDir, kPathUnits, short_form);
  remove_target_directory();
  EXPECT_FALSE(path_exists(target));
}

}  // namespace
