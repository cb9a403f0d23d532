// Directory creation and its registry, seen on disk: a folder the registry has recorded is
// answered from memory (removed behind its back, it is not created again), a refused name is
// never recorded, the upward walk creates the missing levels from the top, and creation goes on
// once the registry is full. The registry lives for the whole process, so the tests run in this
// order in a program of their own, the one that fills the registry last.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "extract_support.h"
#include "fs/directories.h"
#include "link_support.h"
#include "process_runner.h"

namespace {

bool is_directory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes the folder behind the registry's back and asks for it again: true when the answer
// came from memory (the folder stays missing), false when the system was asked (it is back).
bool answered_from_memory(const std::wstring& path) {
  EXPECT_TRUE(RemoveDirectoryW(path.c_str())) << utf8(path);
  EXPECT_TRUE(ensure_directory(path.c_str())) << utf8(path);
  return !is_directory(path);
}

TEST(CreatedDirs, RecordsWhatExistsAndNothingElse) {
  const std::wstring base = fresh_directory(L"registry_record");
  const std::wstring first = base + L"\\first";
  EXPECT_TRUE(ensure_directory(first.c_str()));
  EXPECT_TRUE(is_directory(first));
  EXPECT_TRUE(answered_from_memory(first));

  // A file of that name counts as an existing directory, and is recorded.
  const std::wstring file = base + L"\\plain_file";
  ASSERT_TRUE(write_file(file, "x"));
  EXPECT_TRUE(ensure_directory(file.c_str()));
  ASSERT_TRUE(DeleteFileW(file.c_str()));
  EXPECT_TRUE(ensure_directory(file.c_str()));
  EXPECT_FALSE(path_exists(file));

  // A name the system refuses is not recorded: refused again every time.
  const std::wstring refused = base + L"\\a<b";
  EXPECT_FALSE(ensure_directory(refused.c_str()));
  EXPECT_FALSE(ensure_directory(refused.c_str()));
  // A walk through refused levels creates nothing and ends; so does one with nothing to walk.
  ensure_parent_directories((refused + L"\\c\\file").c_str());
  ensure_parent_directories(L"\\file");
  EXPECT_EQ(names_in(base), std::vector<std::wstring>());  // "first" went behind its back
  remove_tree(base);
}

TEST(CreatedDirs, UpwardWalkCreatesMissingLevelsFromTheTop) {
  const std::wstring base = fresh_directory(L"registry_walk");
  // x, x\y and x\y\z are missing: created from the top down (y before x would fail and leave
  // y missing); the path itself is not created.
  const std::wstring z = base + L"\\x\\y\\z";
  ensure_parent_directories((z + L"\\file.txt").c_str());
  EXPECT_TRUE(is_directory(z));
  EXPECT_FALSE(path_exists(z + L"\\file.txt"));
  EXPECT_TRUE(answered_from_memory(z));

  // The extraction's own order: a target two levels below an existing folder.
  const std::wstring target = base + L"\\p\\q";
  extract_into(target, {{u"app.dll", "main"}, {u"many\\a.txt", "a"}, {u"many\\b.txt", "b"}});
  EXPECT_EQ(read_file(target + L"\\app.dll"), "main");
  EXPECT_EQ(read_file(target + L"\\many\\b.txt"), "b");
  remove_tree(base);
}

// Must stay the last test of this program: it fills the registry.
TEST(CreatedDirs, CreationGoesOnWhenTheRegistryIsFull) {
  const std::wstring base = fresh_directory(L"registry_full");
  std::vector<std::wstring> dirs;
  for (int i = 0; i < kCreatedDirsCapacity + 3; ++i) {
    dirs.push_back(base + L"\\d" + std::to_wstring(i));
    EXPECT_TRUE(ensure_directory(dirs.back().c_str()));
    EXPECT_TRUE(is_directory(dirs.back()));
  }
  // Recorded before the registry filled up: from memory. After: asked again, and true
  // through ERROR_ALREADY_EXISTS while it stands.
  EXPECT_TRUE(answered_from_memory(dirs.front()));
  EXPECT_FALSE(answered_from_memory(dirs.back()));
  EXPECT_TRUE(ensure_directory(dirs.back().c_str()));

  // A whole extraction with nested folders still works.
  const std::wstring target = base + L"\\target";
  extract_into(target, {{u"app.dll", "main"}, {u"a\\b\\c.txt", "deep"}, {u"a\\d.txt", "d"}});
  EXPECT_EQ(read_file(target + L"\\a\\b\\c.txt"), "deep");
  EXPECT_EQ(read_file(target + L"\\a\\d.txt"), "d");
  remove_tree(base);
}

}  // namespace
