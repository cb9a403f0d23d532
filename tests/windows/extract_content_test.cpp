// Entry extraction over payloads built in this process: every byte lands in the right file,
// nothing else is written, and existing files are replaced.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "extract_support.h"
#include "base/run_state.h"
#include "format/payload_layout.h"
#include "process_runner.h"

namespace {

uint64_t file_size(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return UINT64_MAX;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Every file below dir, as names relative to it with backslashes.
void list_files(const std::wstring& dir, const std::wstring& prefix, std::vector<std::wstring>* out) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      list_files(dir + L"\\" + name, prefix + name + L"\\", out);
    } else {
      out->push_back(prefix + name);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

TEST(EntryExtraction, WritesEveryEntryByteForByte) {
  const std::vector<Entry> entries = {
      {u"app.dll", "MZ the main entry"},
      {u"empty.txt", ""},
      {u"lib\\deep\\er\\still\\deeper\\leaf.bin", sample_bytes(1000, 1)},
      {u"lib\\deep\\zero", ""},
      {u"chunk\\exact.bin", sample_bytes(kChunkBytes, 2)},
      {u"chunk\\plus_one.bin", sample_bytes(kChunkBytes + 1, 3)},
      {u"chunk\\window_edge.bin", sample_bytes(kWindowBytes - 3, 4)},
      {u"big\\forty.bin", sample_bytes(40u << 20, 5)},
      {u"donn\u00e9es\\caf\u00e9 na\u00efve.txt", "accents\n"},
      {u"\u65e5\u672c\\\u30d5\u30a1\u30a4\u30eb.txt", "kana\n"},
      {u"emoji\\\U0001F600.txt", "a surrogate pair in the name\n"},
  };
  const std::wstring base = fresh_directory(L"extract_content");
  const std::wstring target = base + L"\\target";
  double seconds = extract_into(target, entries);

  std::vector<std::wstring> expected_names, written_names;
  for (const Entry& e : entries) {
    const std::wstring path = target + L"\\" + as_wide(e.name);
    expected_names.push_back(as_wide(e.name));
    ASSERT_EQ(file_size(path), e.content.size()) << utf8(path);
    EXPECT_TRUE(read_file(path) == e.content) << utf8(path);
  }
  // Nothing else was written.
  list_files(target, L"", &written_names);
  std::sort(expected_names.begin(), expected_names.end());
  std::sort(written_names.begin(), written_names.end());
  EXPECT_EQ(written_names, expected_names);
  EXPECT_EQ(std::wstring(FirstEntryPath), target + L"\\app.dll");

  double megabytes = 0;
  for (const Entry& e : entries) megabytes += e.content.size() / 1048576.0;
  printf("extracted %.1f MB in %.3f s (%.0f MB/s)\n", megabytes, seconds, megabytes / seconds);
  remove_tree(base);
}

TEST(EntryExtraction, ReplacesAnExistingFile) {
  const std::wstring target = fresh_directory(L"extract_replace");
  CreateDirectoryW((target + L"\\sub").c_str(), nullptr);
  // Longer than the new content: a file that was only overwritten would keep its tail.
  ASSERT_TRUE(write_file(target + L"\\sub\\old.txt", std::string(100000, 'o')));
  ASSERT_TRUE(write_file(target + L"\\app.dll", "stale main entry, much longer than the new one"));

  extract_into(target, {{u"app.dll", "new"}, {u"sub\\old.txt", "replaced\n"}});
  EXPECT_EQ(read_file(target + L"\\app.dll"), "new");
  EXPECT_EQ(read_file(target + L"\\sub\\old.txt"), "replaced\n");
  remove_tree(target);
}

}  // namespace
