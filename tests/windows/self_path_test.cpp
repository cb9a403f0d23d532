// The launcher's own path under Wine: the path steps on real files of C: (which has short
// names) and Z:, and the two forms of a real exe in a long-named folder and reached through a
// Unix symbolic link (self_path_probe.exe prints both forms).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/run_state.h"
#include "fs/self_path.h"
#include "process_runner.h"

namespace {

constexpr int kAbortExitCode = 3;

std::wstring short_path(const std::wstring& path) {
  wchar_t out[4096];
  DWORD n = GetShortPathNameW(path.c_str(), out, 4096);
  return n == 0 || n >= 4096 ? std::wstring() : std::wstring(out, n);
}

std::wstring shortened(const std::wstring& path, size_t capacity = kPathUnits) {
  std::wstring buffer(capacity, L'\0');
  buffer.replace(0, path.size(), path);
  shorten_directory_part(&buffer[0], capacity);
  return buffer.c_str();
}

std::wstring resolved(const std::wstring& path, size_t capacity = kPathUnits) {
  std::wstring buffer(capacity, L'\0');
  buffer.replace(0, path.size(), path);
  resolve_final_path(&buffer[0], capacity);
  return buffer.c_str();
}

struct SelfPaths {
  std::string plain;
  std::string resolved;
};

SelfPaths run_self_path_probe(const std::wstring& exe) {
  RunResult r = run_program(exe, L"\"" + exe + L"\"");
  EXPECT_EQ(r.exit_code, 0u) << r.err;
  SelfPaths paths;
  size_t split = r.out.find('\n');
  if (r.out.compare(0, 6, "plain=") == 0 && split != std::string::npos) {
    paths.plain = r.out.substr(6, split - 6);
    std::string rest = r.out.substr(split + 1);
    if (rest.compare(0, 9, "resolved=") == 0 && rest.back() == '\n') {
      paths.resolved = rest.substr(9, rest.size() - 10);
    }
  }
  EXPECT_FALSE(paths.resolved.empty()) << r.out;
  return paths;
}

// A folder with long names on C: (below the test's temp folder), holding a long-named file.
struct LongNamedFolder {
  std::wstring root;
  std::wstring dir;
  LongNamedFolder() {
    root = fresh_directory(L"self_path");
    dir = root + L"\\A Long Folder Name\\Another Folder With Spaces";
    CreateDirectoryW((root + L"\\A Long Folder Name").c_str(), nullptr);
    CreateDirectoryW(dir.c_str(), nullptr);
  }
  ~LongNamedFolder() { remove_tree(root); }
};

TEST(ShortenDirectoryPart, ShortensTheDirectoryAndKeepsTheLastComponent) {
  LongNamedFolder folder;
  ASSERT_EQ(folder.dir.substr(0, 3), L"C:\\");
  const std::wstring short_dir = short_path(folder.dir);
  ASSERT_FALSE(short_dir.empty());
  ASSERT_EQ(short_dir.find(L' '), std::wstring::npos) << "no short names on this volume";
  ASSERT_TRUE(write_file(folder.dir + L"\\A Long File Name.txt", "x"));

  struct Case {
    std::wstring path;
    std::wstring expected;
  };
  const Case cases[] = {
      // The file name stays long, whether or not the file exists.
      {folder.dir + L"\\A Long File Name.txt", short_dir + L"\\A Long File Name.txt"},
      {folder.dir + L"\\Missing File Name.exe", short_dir + L"\\Missing File Name.exe"},
      {folder.dir + L"\\", short_dir + L"\\"},
      // Applying the step to its own result changes nothing.
      {short_dir + L"\\A Long File Name.txt", short_dir + L"\\A Long File Name.txt"},
      // A directory part that does not exist is returned unchanged.
      {L"C:\\No Such Folder Here\\Some Long Name.exe", L"C:\\No Such Folder Here\\Some Long Name.exe"},
      {L"", L""},
      {L"No Such File Anywhere.txt", L"No Such File Anywhere.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(shortened(c.path), c.expected) << utf8(c.path);

  // A path without a backslash is converted whole (here relative to the current directory).
  wchar_t saved_cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved_cwd);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.dir.c_str()));
  std::wstring whole = shortened(L"A Long File Name.txt");
  std::wstring whole_expected = short_path(L"A Long File Name.txt");
  SetCurrentDirectoryW(saved_cwd);
  EXPECT_EQ(whole, whole_expected);
  EXPECT_NE(whole, L"A Long File Name.txt");

}

TEST(ResolveFinalPath, FinalPathWithoutPrefixThenShortened) {
  LongNamedFolder folder;
  const std::wstring short_dir = short_path(folder.dir);
  const std::wstring file = folder.dir + L"\\A Long File Name.txt";
  ASSERT_TRUE(write_file(file, "x"));

  // The drive form's extended-length prefix is removed.
  EXPECT_EQ(resolved(file), short_dir + L"\\A Long File Name.txt");
  EXPECT_EQ(resolved(L"\\\\?\\" + file), short_dir + L"\\A Long File Name.txt");
  // A relative name becomes the file's full final path.
  wchar_t saved_cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved_cwd);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.dir.c_str()));
  std::wstring relative = resolved(L"A Long File Name.txt");
  SetCurrentDirectoryW(saved_cwd);
  EXPECT_EQ(relative, short_dir + L"\\A Long File Name.txt");
  // A file that cannot be opened keeps its name, prefix included; only shortening applies.
  EXPECT_EQ(resolved(L"\\\\?\\C:\\No Such Folder\\Tool Name.exe"), L"\\\\?\\C:\\No Such Folder\\Tool Name.exe");
  EXPECT_EQ(resolved(folder.dir + L"\\Missing File.exe"), short_dir + L"\\Missing File.exe");
}

TEST(ResolveFinalPathDeathTest, FinalPathLongerThanTheBufferAborts) {
  LongNamedFolder folder;
  ASSERT_TRUE(write_file(folder.dir + L"\\f.txt", "x"));
  ASSERT_TRUE(SetCurrentDirectoryW(folder.dir.c_str()));
  // "f.txt" fits 16 units; its final path (the whole folder path) does not.
  EXPECT_EXIT(resolved(L"f.txt", 16), ::testing::ExitedWithCode(kAbortExitCode), "");
  SetCurrentDirectoryW(L"C:\\");
}

TEST(ResolveSelfPath, ExeInALongNamedFolderOnC) {
  LongNamedFolder folder;
  const std::wstring exe = folder.dir + L"\\Self Path Probe With A Long Name.exe";
  ASSERT_TRUE(CopyFileW((test_bin_dir() + L"self_path_probe.exe").c_str(), exe.c_str(), FALSE));
  const std::string expected = utf8(short_path(folder.dir) + L"\\Self Path Probe With A Long Name.exe");

  SelfPaths paths = run_self_path_probe(exe);
  EXPECT_EQ(paths.plain, expected);
  EXPECT_EQ(paths.resolved, expected);
}

TEST(ResolveSelfPath, ResolvedFormNamesTheTargetOfASymbolicLink) {
  // self_path_link.exe is a Unix symbolic link to self_path_probe.exe, made by the build.
  const std::wstring bin = test_bin_dir();
  const std::wstring link = bin + L"self_path_link.exe";
  // (Wine shows a link to a file as a plain file, so only its presence can be checked.)
  if (!path_exists(link)) GTEST_SKIP() << "no symbolic link (the build makes it on Unix hosts only)";
  // The build folder as its final path names it (it may sit below a link itself).
  std::wstring final_dir = resolved(bin + L"self_path_probe.exe");
  final_dir = final_dir.substr(0, final_dir.rfind(L'\\'));
  const std::wstring short_bin = short_path(bin.substr(0, bin.size() - 1));

  SelfPaths paths = run_self_path_probe(link);
  EXPECT_EQ(paths.plain, utf8(short_bin + L"\\self_path_link.exe"));
  EXPECT_EQ(paths.resolved, utf8(final_dir + L"\\self_path_probe.exe"));
}

}  // namespace
