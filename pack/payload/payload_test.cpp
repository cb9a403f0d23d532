// The payload writer against the format, byte for byte, and against the reader: what is
// packed comes back whole, and is found inside any file. (The entry header's bytes are
// format/'s: format/entry_stream_test.cpp.)
#include "pack/payload/payload_writer.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "format/byte_order.h"
#include "pack/app/app_tree.h"
#include "pack/base/scratch_dir.h"
#include "pack/payload/payload_finder.h"
#include "pack/payload/payload_reader.h"

namespace veldro {
namespace {

uint64_t u64_at(const std::vector<uint8_t>& bytes, size_t offset) { return load_le(&bytes[offset], 8); }

FrameOptions fast() {
  FrameOptions options;
  options.level = 3;
  return options;
}

TEST(PayloadFormat, HeaderFrameAlignmentAndTrailerAreExact) {
  for (size_t content : {0, 1, 5, 6, 7, 100, 4096}) {
    std::string stream;
    append_entry_header(stream, u"a.dll", content);
    stream += std::string(content, 'x');
    append_end_marker(stream);
    std::vector<uint8_t> frame = compress_stream(stream, fast());
    std::vector<uint8_t> payload = wrap_payload(frame);

    ASSERT_EQ(payload[0], 'K');
    ASSERT_EQ(payload[1], 'A');
    ASSERT_EQ(payload[2], 'Y');
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), payload.begin() + 3));
    EXPECT_EQ(payload.size() % 8, 0u);
    size_t padding = payload.size() - 8 - 3 - frame.size();
    EXPECT_LT(padding, 8u);
    for (size_t i = 3 + frame.size(); i < payload.size() - 8; ++i) EXPECT_EQ(payload[i], 0);
    EXPECT_EQ(u64_at(payload, payload.size() - 8), payload.size() - 8);
  }
}

TEST(PayloadFormat, FrameHasPledgedSizeChecksumAndBoundedWindow) {
  ScratchDir tree;
  tree.write("main.dll", std::string(300000, 'm'));
  std::vector<PackFile> files = collect_app_files({(tree.root / "main.dll").string(), {}, {}});
  FrameOptions options = fast();
  options.window_log = 20;
  std::vector<uint8_t> payload = wrap_payload(compress_entries(files, options));
  FrameInfo frame;
  std::vector<EntryInfo> entries = read_entries(payload.data(), payload.size(), false, &frame);
  EXPECT_EQ(frame.content_size, 2u * (8 + 1) + 8 + 300000 + 2);
  EXPECT_TRUE(frame.checksum);
  EXPECT_LE(frame.window_size, 1u << 20);
}

TEST(PackRoundTrip, EveryFileComesBackByteForByte) {
  ScratchDir tree;
  std::mt19937 generator(11);
  std::string large(5 * 1024 * 1024 + 17, '\0');
  for (char& c : large) c = static_cast<char>(generator() % 7);
  tree.write("app/main.dll", "MZ main");
  tree.write("app/empty.txt", "");
  tree.write("app/a/b/c/d/e/deep.bin", "deep");
  tree.write("app/n\xc3\xa4me/\xe6\x97\xa5\xe6\x9c\xac.txt", "non-ascii");
  tree.write("app/data/large.bin", large);
  tree.write("extra.cfg", "single file");

  AppSources sources{"main.dll", {(tree.root / "app").string()}, {(tree.root / "extra.cfg").string()}};
  std::vector<PackFile> files = collect_app_files(sources);
  std::vector<uint8_t> payload = wrap_payload(compress_entries(files, fast()));
  std::vector<EntryInfo> entries = read_entries(payload.data(), payload.size(), true, nullptr);

  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[0].name, u"main.dll");  // the main DLL first, under its file name
  EXPECT_EQ(entries[0].content, "MZ main");
  std::map<std::u16string, std::string> by_name;
  for (const EntryInfo& e : entries) by_name[e.name] = e.content;
  EXPECT_EQ(by_name.at(u"empty.txt"), "");
  EXPECT_EQ(by_name.at(u"a\\b\\c\\d\\e\\deep.bin"), "deep");
  EXPECT_EQ(by_name.at(u"n\u00e4me\\\u65e5\u672c.txt"), "non-ascii");
  EXPECT_EQ(by_name.at(u"data\\large.bin"), large);
  EXPECT_EQ(by_name.at(u"extra.cfg"), "single file");
  EXPECT_EQ(entries.back().name, u"extra.cfg");  // single files after the folders
}

TEST(PackRoundTrip, ThePayloadIsFoundInsideAnyFileAndDamageIsCaught) {
  std::string stream;
  append_entry_header(stream, u"main.dll", 4);
  stream += "MZxx";
  append_end_marker(stream);
  std::vector<uint8_t> payload = wrap_payload(compress_stream(stream, fast()));

  std::vector<uint8_t> exe(1000, 0x90);
  exe[500] = 'K';  // a false start must not confuse the search
  exe.insert(exe.end(), payload.begin(), payload.end());
  exe.insert(exe.end(), 333, 0xCC);
  PayloadLocation where = find_payload(MemorySource(exe));
  EXPECT_EQ(where.offset, 1000u);
  EXPECT_EQ(where.length, payload.size());
  EXPECT_EQ(read_entries(exe.data() + where.offset, where.length, false, nullptr).size(), 1u);

  std::vector<uint8_t> damaged = payload;
  damaged[damaged.size() - 12] ^= 0x01;  // inside the frame's checksum
  EXPECT_THROW(read_entries(damaged.data(), damaged.size(), false, nullptr), std::runtime_error);
}

}  // namespace
}  // namespace veldro
