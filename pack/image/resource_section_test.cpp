// The resource section, the version resource and the icon resources, read back with the
// records the loader reads: the tree's levels and offsets, every version block's lengths, the
// icon group's entries; and the .ico files read_icon refuses.
#include "pack/image/resource_section.h"

#include <gtest/gtest.h>

#include <functional>

#include "format/byte_order.h"
#include "pack/base/pack_error.h"
#include "pack/base/text.h"
#include "pack/image/icon.h"
#include "pack/image/pe_format.h"
#include "pack/image/version_resource.h"

namespace veldro {
namespace {

TEST(ResourceSection, TheTreeLeadsFromTypeAndIdToEachResourcesBytes) {
  const std::vector<Resource> resources = {
      {kResourceIcon, 1, {1, 2, 3}},
      {kResourceIcon, 2, std::vector<uint8_t>(21, 4)},
      {kResourceGroupIcon, 1, {5}},
      {kResourceManifest, 1, {6, 7}},
  };
  const uint32_t rva = 0x5000;
  const std::vector<uint8_t> section = resource_section(resources, rva);
  EXPECT_EQ(section.size() % 8, 0u);

  auto directory = [&](size_t at) { return record_at<ResourceDirectory>(&section[at]); };
  auto entry = [&](size_t directory_at, size_t i) {
    return record_at<ResourceDirectoryEntry>(&section[directory_at + sizeof(ResourceDirectory) + 8 * i]);
  };
  ASSERT_EQ(directory(0).id_entries, 3u);
  EXPECT_EQ(directory(0).named_entries, 0u);
  size_t found = 0;
  for (size_t t = 0; t < 3; ++t) {
    ResourceDirectoryEntry type = entry(0, t);
    ASSERT_TRUE(type.offset & kResourceSubdirectory);
    size_t ids_at = type.offset & ~kResourceSubdirectory;
    for (size_t i = 0; i < directory(ids_at).id_entries; ++i) {
      ResourceDirectoryEntry id = entry(ids_at, i);
      size_t languages_at = id.offset & ~kResourceSubdirectory;
      ASSERT_EQ(directory(languages_at).id_entries, 1u);
      ResourceDirectoryEntry language = entry(languages_at, 0);
      EXPECT_EQ(language.id, kLanguageEnglishUs);
      EXPECT_FALSE(language.offset & kResourceSubdirectory);
      ResourceDataEntry data = record_at<ResourceDataEntry>(&section[language.offset]);
      const Resource& r = resources[found++];
      EXPECT_EQ(type.id, r.type);
      EXPECT_EQ(id.id, r.id);
      EXPECT_EQ(data.rva % 8, 0u);
      ASSERT_EQ(data.size, r.data.size());
      EXPECT_TRUE(std::equal(r.data.begin(), r.data.end(), section.begin() + (data.rva - rva)));
    }
  }
  EXPECT_EQ(found, resources.size());
}

// A version block as read back: its key, its value's bytes and its children.
struct Block {
  VersionBlockHeader header;
  std::u16string key;
  std::vector<uint8_t> value;
  std::vector<Block> children;
};

Block parse_block(const uint8_t* p, size_t available) {
  Block block;
  block.header = record_at<VersionBlockHeader>(p);
  EXPECT_LE(block.header.length, available);
  size_t at = sizeof(VersionBlockHeader);
  for (; load_le(p + at, 2) != 0; at += 2) block.key.push_back(static_cast<char16_t>(load_le(p + at, 2)));
  at = (at + 2 + 3) / 4 * 4;
  size_t value_bytes = block.header.type == 1 ? 2 * block.header.value_length : block.header.value_length;
  block.value.assign(p + at, p + at + value_bytes);
  at = (at + value_bytes + 3) / 4 * 4;
  while (at < block.header.length) {
    block.children.push_back(parse_block(p + at, block.header.length - at));
    at = (at + block.children.back().header.length + 3) / 4 * 4;
  }
  EXPECT_EQ(at, (block.header.length + 3u) / 4 * 4) << utf8_from_utf16(block.key);
  return block;
}

TEST(VersionResource, BlocksNestWithLengthsAsTheLoaderReadsThem) {
  VersionInfo info;
  info.file_version = version_numbers("2.3.4.5");
  info.product_version = version_numbers("2.3-beta");
  info.strings = {{"CompanyName", "Acme \xc3\xa9"}, {"ProductVersion", "2.3-beta"}};
  std::vector<uint8_t> bytes = version_resource(info);
  Block root = parse_block(bytes.data(), bytes.size());
  EXPECT_EQ(root.header.length, bytes.size());
  EXPECT_EQ(root.key, u"VS_VERSION_INFO");
  ASSERT_EQ(root.value.size(), sizeof(FixedFileInfo));
  FixedFileInfo fixed = record_at<FixedFileInfo>(root.value.data());
  EXPECT_EQ(fixed.signature, 0xFEEF04BDu);
  EXPECT_EQ(fixed.file_version_ms, 0x00020003u);
  EXPECT_EQ(fixed.file_version_ls, 0x00040005u);
  EXPECT_EQ(fixed.product_version_ms, 0x00020003u);
  EXPECT_EQ(fixed.product_version_ls, 0u);
  ASSERT_EQ(root.children.size(), 2u);
  ASSERT_EQ(root.children[0].key, u"StringFileInfo");
  const Block& table = root.children[0].children.at(0);
  EXPECT_EQ(table.key, u"040904B0");
  ASSERT_EQ(table.children.size(), 2u);
  EXPECT_EQ(table.children[0].key, u"CompanyName");
  EXPECT_EQ(table.children[0].header.value_length, 7u);  // "Acme é" and its terminator
  EXPECT_EQ(table.children[0].value, utf16_bytes(u"Acme \u00e9"));
  const Block& translation = root.children[1].children.at(0);
  EXPECT_EQ(translation.key, u"Translation");
  EXPECT_EQ(translation.value, (std::vector<uint8_t>{0x09, 0x04, 0xB0, 0x04}));
}

TEST(VersionResource, VersionsOfAnyFormTakeTheirLeadingNumbers) {
  const std::pair<const char*, std::array<uint16_t, 4>> cases[] = {
      {"1.2.3.4", {1, 2, 3, 4}},    {"1.2", {1, 2, 0, 0}},         {"2.1.0-beta", {2, 1, 0, 0}},
      {"7 (build 12)", {7, 0, 0, 0}}, {"1.2.3.4.5", {1, 2, 3, 4}}, {"1..2", {1, 0, 0, 0}},
      {"3.", {3, 0, 0, 0}},         {"v1.2", {0, 0, 0, 0}},        {"", {0, 0, 0, 0}},
      {"65535.0.1", {65535, 0, 1, 0}}, {"0001.02", {1, 2, 0, 0}},
  };
  for (const auto& [text, numbers] : cases) EXPECT_EQ(version_numbers(text), numbers) << text;
  EXPECT_THROW(version_numbers("65536"), PackError);
  EXPECT_THROW(version_numbers("1.2.99999999999999999999"), PackError);
}

// An .ico file of two images, each entry's fields distinct.
std::vector<uint8_t> sample_ico() {
  std::vector<uint8_t> ico;
  append_record(ico, IconDir{0, 1, 2});
  append_record(ico, IconDirEntry{16, 16, 0, 0, 1, 32, 5, 38});
  append_record(ico, IconDirEntry{32, 32, 4, 0, 1, 8, 3, 43});
  for (uint8_t b : {1, 2, 3, 4, 5, 6, 7, 8}) ico.push_back(b);
  return ico;
}

TEST(Icon, ImagesBecomeIconsAndTheDirectoryTheirGroup) {
  std::vector<Resource> resources = icon_resources(read_icon(MemorySource(sample_ico())));
  ASSERT_EQ(resources.size(), 3u);
  EXPECT_EQ(resources[0].type, kResourceIcon);
  EXPECT_EQ(resources[0].data, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(resources[1].id, 2u);
  EXPECT_EQ(resources[1].data, (std::vector<uint8_t>{6, 7, 8}));
  const Resource& group = resources[2];
  EXPECT_EQ(group.type, kResourceGroupIcon);
  ASSERT_EQ(group.data.size(), sizeof(IconDir) + 2 * sizeof(GroupIconEntry));
  EXPECT_EQ(record_at<IconDir>(&group.data[0]).count, 2u);
  GroupIconEntry second = record_at<GroupIconEntry>(&group.data[sizeof(IconDir) + sizeof(GroupIconEntry)]);
  EXPECT_EQ(second.width, 32u);
  EXPECT_EQ(second.colors, 4u);
  EXPECT_EQ(second.bit_count, 8u);
  EXPECT_EQ(second.bytes, 3u);
  EXPECT_EQ(second.id, 2u);
}

TEST(Icon, MalformedIcoFilesAreRefused) {
  const std::pair<const char*, std::function<void(std::vector<uint8_t>&)>> cases[] = {
      {"reserved not zero", [](std::vector<uint8_t>& b) { b[0] = 1; }},
      {"a cursor", [](std::vector<uint8_t>& b) { b[2] = 2; }},
      {"no images", [](std::vector<uint8_t>& b) { b[4] = 0; }},
      {"more entries than the file holds", [](std::vector<uint8_t>& b) { b[4] = 200; }},
      {"an empty image", [](std::vector<uint8_t>& b) { store_le(&b[6 + 8], 0, 4); }},
      {"an image inside the directory", [](std::vector<uint8_t>& b) { store_le(&b[6 + 12], 20, 4); }},
      {"an image past the end", [](std::vector<uint8_t>& b) { store_le(&b[22 + 8], 4, 4); }},
      {"an offset that wraps", [](std::vector<uint8_t>& b) { store_le(&b[22 + 12], 0xFFFFFFFF, 4); }},
      {"cut in the header", [](std::vector<uint8_t>& b) { b.resize(4); }},
  };
  for (const auto& [what, damage] : cases) {
    std::vector<uint8_t> ico = sample_ico();
    damage(ico);
    try {
      read_icon(MemorySource(ico));
      ADD_FAILURE() << what << " was accepted";
    } catch (const PackError& error) {
      EXPECT_STREQ(error.what(), "icon 'payload' is not a valid .ico file") << what;
    }
  }
}

}  // namespace
}  // namespace veldro
