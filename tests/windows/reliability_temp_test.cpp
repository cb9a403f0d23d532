// The temp folder as a run meets it under Wine: missing, a file, on a disk that fills up during
// the extraction. The launcher makes what it may, fails with its line where it must, and never
// writes outside the folder it was given. The Disk test needs a tmpfs mounted for the run
// (reliability_disk.sh) and is skipped without one. (A temp path the system cannot give:
// dirspec_test.cpp's expansion fails, and a failed expansion ends the run as
// dirspec_launch_test.cpp shows.)
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdint.h>
#include <string>
#include <vector>

#include "launcher_runs.h"
#include "link_support.h"
#include "process_runner.h"

namespace {

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

uint64_t file_size(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

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

// A target directory that cannot be created below temp: its line with the system's reason,
// exit code 2, nothing on stdout, nothing written.
TEST(TempFolder, ATempPathThroughAFileEndsWithTheCreationLineAndWritesNothing) {
  std::wstring base = fresh_directory(L"rel_file_temp");
  ASSERT_TRUE(write_file(base + L"\\file", "x"));
  std::wstring temp = base + L"\\file";
  RunResult r = run_launcher(bin(L"rel_probe.exe"), L"args", with_temp(temp));
  EXPECT_EQ(r.exit_code, 2u);
  EXPECT_EQ(r.out, "");
  const std::string head = "Error, couldn't create target directory '" + utf8(temp) + "\\onefile_";
  EXPECT_EQ(r.err.substr(0, head.size()), head) << r.err;
  EXPECT_NE(r.err.find("'. ([Error 3] "), std::string::npos) << r.err;  // ERROR_PATH_NOT_FOUND
  EXPECT_TRUE(ends_with(r.err, ")\r\n")) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_EQ(names_in(base), std::vector<std::wstring>{L"file"});
  EXPECT_EQ(read_file(temp), "x");
}

// The small disk's folder, from VELDRO_SMALL_DISK (a Unix path, seen by Wine through Z:).
std::wstring small_disk_folder() {
  wchar_t unix_dir[4096];
  DWORD n = GetEnvironmentVariableW(L"VELDRO_SMALL_DISK", unix_dir, 4096);
  if (n == 0 || n >= 4096) return {};
  std::wstring folder = std::wstring(L"Z:") + unix_dir;
  std::replace(folder.begin(), folder.end(), L'/', L'\\');
  return folder;
}

// TEMP on a 1 MiB tmpfs (reliability_disk.sh small): the main DLL (the probe, packed by the
// fixture generator as app.dll) fits, the 2 MiB entry does not. A failure line ends the run where
// it is: what was written stays (no rollback).
TEST(Disk, FullDuringExtractionEndsWithTheUnpackLineAndLeavesWhatWasWritten) {
  std::wstring temp = small_disk_folder();
  if (temp.empty()) GTEST_SKIP() << "no small disk (run through reliability_disk.sh small)";
  RunResult r = run_launcher(bin(L"rel_disk_full.exe"), L"", with_temp(temp));
  EXPECT_EQ(r.exit_code, 2u);
  EXPECT_EQ(r.out, "");
  // The system text differs between Windows versions and Wine; the code does not.
  const std::string head = "Error, couldn't unpack file to target path. ([Error 112] ";
  EXPECT_EQ(r.err.substr(0, head.size()), head) << r.err;
  EXPECT_TRUE(ends_with(r.err, ")\r\n")) << r.err;
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

}  // namespace
