// Directory creation and its registry, counted through Counters.create_directory_calls: the
// registry answers repeated folders from memory, never asks for the home folder or a drive,
// climbs only as far as creation fails, and keeps creating once it is full. The registry lives
// for the whole process, so the tests run in this order in a program of their own, the one
// that fills the registry last.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "dirspec/expand.h"
#include "extract_support.h"
#include "fs/directories.h"
#include "base/run_state.h"
#include "process_runner.h"

namespace {

// CreateDirectoryW calls made by fn.
template <typename Fn>
uint64_t creations(Fn fn) {
  uint64_t before = Counters.create_directory_calls;
  fn();
  return Counters.create_directory_calls - before;
}

bool is_directory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring home_directory() {
  static wchar_t home[kPathUnits];
  EXPECT_TRUE(expand_dir_spec(home, L"{HOME}", kPathUnits));
  return home;
}

TEST(CreatedDirs, HomeAndDrivesAreNeverAskedFor) {
  const std::wstring base = fresh_directory(L"registry_home");
  ASSERT_EQ(created_dirs_count(), 0);

  // The first request seeds the registry with the home folder, whatever it asks for.
  bool created = false;
  EXPECT_EQ(creations([&] { created = ensure_directory((base + L"\\first").c_str()); }), 1u);
  EXPECT_TRUE(created);
  EXPECT_EQ(created_dirs_count(), 2);

  const std::wstring home = home_directory();
  struct Case {
    std::wstring path;
    uint64_t calls;
  };
  const Case cases[] = {
      {home, 0},             // registry entry 0
      {L"C:", 0},            // a drive designator: never asked, never recorded
      {L"Z:", 0},
      {base + L"\\first", 0},  // recorded above
  };
  for (const Case& c : cases) {
    bool exists = false;
    EXPECT_EQ(creations([&] { exists = ensure_directory(c.path.c_str()); }), c.calls) << utf8(c.path);
    EXPECT_TRUE(exists) << utf8(c.path);
  }
  EXPECT_EQ(created_dirs_count(), 2);
  // A drive's root is no designator: it goes to the system (whatever the system answers).
  EXPECT_EQ(creations([&] { ensure_directory(L"C:\\"); }), 1u);

  // A file of that name counts as an existing directory, and is recorded.
  ASSERT_TRUE(write_file(base + L"\\plain_file", "x"));
  EXPECT_EQ(creations([&] { EXPECT_TRUE(ensure_directory((base + L"\\plain_file").c_str())); }), 1u);
  EXPECT_EQ(creations([&] { EXPECT_TRUE(ensure_directory((base + L"\\plain_file").c_str())); }), 0u);

  // A name the system refuses is not recorded: asked again every time.
  const std::wstring refused = base + L"\\a<b";
  EXPECT_EQ(creations([&] { EXPECT_FALSE(ensure_directory(refused.c_str())); }), 1u);
  EXPECT_EQ(creations([&] { EXPECT_FALSE(ensure_directory(refused.c_str())); }), 1u);

  // Walks whose every level fails climb up to the home folder or the drive and stop there:
  // two failures up, two again on the way down, and nothing asked of home or C: themselves.
  EXPECT_EQ(creations([&] { ensure_parent_directories((home + L"\\a<b\\c\\file").c_str()); }), 4u);
  EXPECT_EQ(creations([&] { ensure_parent_directories(L"C:\\a<b\\c\\file"); }), 4u);
  // Only a backslash at position 0: nothing to walk.
  EXPECT_EQ(creations([&] { ensure_parent_directories(L"\\file"); }), 0u);
  remove_tree(base);
}

TEST(CreatedDirs, UpwardWalkCreatesMissingLevelsFromTheTop) {
  const std::wstring base = fresh_directory(L"registry_walk");
  // x, x\y and x\y\z are missing: z and y fail on the way up, x is created, then y and z on
  // the way down, in that order (y before x would fail and leave y missing).
  const std::wstring z = base + L"\\x\\y\\z";
  EXPECT_EQ(creations([&] { ensure_parent_directories((z + L"\\file.txt").c_str()); }), 5u);
  EXPECT_TRUE(is_directory(z));
  EXPECT_FALSE(path_exists(z + L"\\file.txt"));  // the path itself is not created
  EXPECT_EQ(creations([&] { EXPECT_TRUE(ensure_directory(z.c_str())); }), 0u);

  // The extraction's own order: the entry's folder fails once (its target two levels below an
  // existing folder does not exist yet), the walk creates the level above, then the folder.
  const std::wstring target = base + L"\\p\\q";
  extract_into(target, {{u"app.dll", "main"}});
  EXPECT_EQ(Counters.create_directory_calls, 3u);  // q fails, p created, q created
  EXPECT_EQ(read_file(target + L"\\app.dll"), "main");
  remove_tree(base);
}

TEST(CreatedDirs, FiveHundredEntriesInOneFolderAskForItOnce) {
  const std::wstring target = fresh_directory(L"registry_many");
  std::vector<Entry> entries = {{u"app.dll", "main"}};
  for (int i = 0; i < 500; ++i) {
    std::string n = std::to_string(i);
    entries.push_back({u"many\\f" + std::u16string(n.begin(), n.end()) + u".txt", n});
  }
  extract_into(target, entries);
  // One call for the target itself (it exists: recorded) and one for "many".
  EXPECT_EQ(Counters.create_directory_calls, 2u);
  EXPECT_EQ(read_file(target + L"\\many\\f499.txt"), "499");
  remove_tree(target);
}

// Must stay the last test of this program: it fills the registry.
TEST(CreatedDirs, CreationGoesOnWhenTheRegistryIsFull) {
  const std::wstring base = fresh_directory(L"registry_full");
  int before = created_dirs_count();
  ASSERT_LT(before, kCreatedDirsCapacity);
  std::vector<std::wstring> dirs;
  for (int i = 0; i < kCreatedDirsCapacity - before + 3; ++i) {
    dirs.push_back(base + L"\\d" + std::to_wstring(i));
    EXPECT_EQ(creations([&] { EXPECT_TRUE(ensure_directory(dirs.back().c_str())); }), 1u);
    EXPECT_TRUE(is_directory(dirs.back()));
  }
  EXPECT_EQ(created_dirs_count(), kCreatedDirsCapacity);
  // Recorded before the registry filled up: from memory. After: asked again, and true
  // through ERROR_ALREADY_EXISTS.
  EXPECT_EQ(creations([&] { EXPECT_TRUE(ensure_directory(dirs.front().c_str())); }), 0u);
  EXPECT_EQ(creations([&] { EXPECT_TRUE(ensure_directory(dirs.back().c_str())); }), 1u);

  // A whole extraction with nested folders still works.
  const std::wstring target = base + L"\\target";
  extract_into(target, {{u"app.dll", "main"}, {u"a\\b\\c.txt", "deep"}, {u"a\\d.txt", "d"}});
  EXPECT_EQ(read_file(target + L"\\a\\b\\c.txt"), "deep");
  EXPECT_EQ(read_file(target + L"\\a\\d.txt"), "d");
  EXPECT_EQ(created_dirs_count(), kCreatedDirsCapacity);
  remove_tree(base);
}

}  // namespace
