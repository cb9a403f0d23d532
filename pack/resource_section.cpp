// Compiled resources (see resource_section.h).
#include "pack/resource_section.h"

#include "pack/app_tree.h"
#include "pack/byte_order.h"
#include "pack/coff_object.h"
#include "pack/inspect.h"
#include "pack/pe_check.h"

namespace veldro {
namespace {

constexpr uint32_t kLanguageEnglishUs = 0x409;
constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr size_t kDirectoryBytes = 16;
constexpr size_t kDirectoryEntryBytes = 8;
constexpr size_t kDataEntryBytes = 16;
constexpr size_t kDataAlignment = 8;

void pad4(std::vector<uint8_t>& out) { out.resize((out.size() + 3) / 4 * 4, 0); }

// --- version information -----------------------------------------------------------------------

// One block of a version resource: its length, its value's length, whether the value is text,
// its key, the value and the child blocks, each starting on a 4-byte boundary. The length
// counts everything up to the end of the last child, without padding after it.
std::vector<uint8_t> version_block(const std::u16string& key, const std::vector<uint8_t>& value,
                                   uint16_t value_length, bool text,
                                   const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> out(6, 0);
  std::vector<uint8_t> name = utf16_bytes(key);
  out.insert(out.end(), name.begin(), name.end());
  pad4(out);
  out.insert(out.end(), value.begin(), value.end());
  for (const std::vector<uint8_t>& child : children) {
    pad4(out);
    out.insert(out.end(), child.begin(), child.end());
  }
  store_le(out, 0, static_cast<uint16_t>(out.size()), 2);
  store_le(out, 2, value_length, 2);
  store_le(out, 4, text ? 1 : 0, 2);
  return out;
}

std::vector<uint8_t> version_resource(const ResourceInfo& info) {
  std::array<uint16_t, 4> file = version_numbers(utf8_from_utf16(info.strings.file_version));
  std::array<uint16_t, 4> product = version_numbers(utf8_from_utf16(info.strings.product_version));
  std::vector<uint8_t> fixed;
  for (uint32_t v : {0xFEEF04BDu, 0x00010000u, uint32_t{file[0]} << 16 | file[1],
                     uint32_t{file[2]} << 16 | file[3], uint32_t{product[0]} << 16 | product[1],
                     uint32_t{product[2]} << 16 | product[3],
                     0x3Fu,        // flags mask
                     0u,           // flags
                     0x40004u,     // Windows NT, 32-bit API
                     1u,           // an application
                     0u, 0u, 0u})  // subtype, date
    put32(fixed, v);

  std::vector<std::vector<uint8_t>> strings;
  for (const auto& [name, value] : version_strings(info)) {
    std::u16string text = utf16_from_utf8(value);
    strings.push_back(version_block(utf16_from_utf8(name), utf16_bytes(text),
                                    static_cast<uint16_t>(text.size() + 1), true, {}));
  }
  std::vector<uint8_t> translation;
  put16(translation, kLanguageEnglishUs);
  put16(translation, 1200);  // UTF-16
  return version_block(
      u"VS_VERSION_INFO", fixed, static_cast<uint16_t>(fixed.size()), false,
      {version_block(u"StringFileInfo", {}, 0, true,
                     {version_block(u"040904B0", {}, 0, true, strings)}),
       version_block(u"VarFileInfo", {}, 0, true,
                     {version_block(u"Translation", translation, 4, false, {})})});
}

// --- icon ----------------------------------------------------------------------------------------

// An .ico file's images become icon resources 1 to n; the group resource repeats the file's
// directory with each image's resource id in place of its file offset.
void add_icon(const std::string& path, std::vector<Resource>* resources) {
  check_icon(path);
  std::vector<uint8_t> ico = read_file_bytes(path);
  uint32_t count = static_cast<uint32_t>(load_le(&ico[4], 2));
  Resource group = {kResourceGroupIcon, 1, {}};
  put16(group.data, 0);
  put16(group.data, 1);
  put16(group.data, count);
  for (uint32_t i = 0; i < count; ++i) {
    size_t entry = 6 + 16 * i;
    uint32_t size = static_cast<uint32_t>(load_le(&ico[entry + 8], 4));
    uint32_t offset = static_cast<uint32_t>(load_le(&ico[entry + 12], 4));
    group.data.insert(group.data.end(), ico.begin() + entry, ico.begin() + entry + 12);
    put16(group.data, i + 1);
    resources->push_back({kResourceIcon, static_cast<uint16_t>(i + 1),
                          std::vector<uint8_t>(ico.begin() + offset, ico.begin() + offset + size)});
  }
  resources->push_back(group);
}

}  // namespace

std::vector<Resource> launcher_resources(const ResourceInfo& info) {
  std::vector<Resource> resources;
  if (!info.icon_path.empty()) add_icon(info.icon_path, &resources);
  resources.push_back({kResourceVersion, 1, version_resource(info)});
  std::string manifest = application_manifest();
  resources.push_back(
      {kResourceManifest, 1, std::vector<uint8_t>(manifest.begin(), manifest.end())});
  return resources;
}

// The tree has three levels: type, id, language (one each). Laid out depth first, as the
// resource compiler lays it out: the root, then for each type its directory of ids followed
// by each id's directory of languages; then the data entries; then the data, each at an
// 8-byte boundary, and padding to the next one. Offsets inside the tree count from the
// section's start; data entries hold relative virtual addresses.
std::vector<uint8_t> resource_section(const std::vector<Resource>& resources, uint32_t rva) {
  std::vector<uint16_t> types;
  for (const Resource& r : resources) {
    if (types.empty() || types.back() != r.type) types.push_back(r.type);
  }
  auto directory_bytes = [](size_t entries) {
    return kDirectoryBytes + kDirectoryEntryBytes * entries;
  };

  // Layout: where each type's id directory, each id's language directory, each data entry and
  // each resource's data start.
  size_t at = directory_bytes(types.size());
  std::vector<size_t> type_at, language_at(resources.size()), entry_at(resources.size()),
      data_at(resources.size());
  for (uint16_t type : types) {
    type_at.push_back(at);
    size_t ids = 0;
    for (const Resource& r : resources) ids += r.type == type;
    at += directory_bytes(ids);
    for (size_t i = 0; i < resources.size(); ++i) {
      if (resources[i].type != type) continue;
      language_at[i] = at;
      at += directory_bytes(1);
    }
  }
  for (size_t i = 0; i < resources.size(); ++i, at += kDataEntryBytes) entry_at[i] = at;
  for (size_t i = 0; i < resources.size(); ++i) {
    at = (at + kDataAlignment - 1) / kDataAlignment * kDataAlignment;
    data_at[i] = at;
    at += resources[i].data.size();
  }

  std::vector<uint8_t> out;
  out.reserve(at);
  auto directory = [&](uint16_t id_entries) {
    for (int i = 0; i < 3; ++i) put32(out, 0);  // characteristics, time stamp, version
    put16(out, 0);                              // named entries
    put16(out, id_entries);
  };
  directory(static_cast<uint16_t>(types.size()));
  for (size_t t = 0; t < types.size(); ++t) {
    put32(out, types[t]);
    put32(out, kSubdirectoryFlag | static_cast<uint32_t>(type_at[t]));
  }
  for (uint16_t type : types) {
    uint16_t ids = 0;
    for (const Resource& r : resources) ids += r.type == type;
    directory(ids);
    for (size_t i = 0; i < resources.size(); ++i) {
      if (resources[i].type != type) continue;
      put32(out, resources[i].id);
      put32(out, kSubdirectoryFlag | static_cast<uint32_t>(language_at[i]));
    }
    for (size_t i = 0; i < resources.size(); ++i) {
      if (resources[i].type != type) continue;
      directory(1);
      put32(out, kLanguageEnglishUs);
      put32(out, static_cast<uint32_t>(entry_at[i]));
    }
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    put32(out, rva + static_cast<uint32_t>(data_at[i]));
    put32(out, static_cast<uint32_t>(resources[i].data.size()));
    put32(out, 0);  // code page
    put32(out, 0);
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    out.resize(data_at[i], 0);
    out.insert(out.end(), resources[i].data.begin(), resources[i].data.end());
  }
  out.resize((out.size() + kDataAlignment - 1) / kDataAlignment * kDataAlignment, 0);
  return out;
}

}  // namespace veldro
