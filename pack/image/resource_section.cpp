// The resource section writer (see resource_section.h). The layout is computed first, then one
// buffer is written in file order.
#include "pack/image/resource_section.h"

#include "pack/image/pe_format.h"

namespace veldro {
namespace {

constexpr size_t kDataAlignment = 8;

size_t align_up(size_t value, size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

size_t directory_bytes(size_t entries) {
  return sizeof(ResourceDirectory) + sizeof(ResourceDirectoryEntry) * entries;
}

void append_directory(std::vector<uint8_t>& out, size_t id_entries) {
  ResourceDirectory directory = {};
  directory.id_entries = static_cast<uint16_t>(id_entries);
  append_record(out, directory);
}

void append_entry(std::vector<uint8_t>& out, uint32_t id, size_t offset, bool subdirectory) {
  append_record(out, ResourceDirectoryEntry{
                         id, static_cast<uint32_t>(offset) | (subdirectory ? kResourceSubdirectory : 0)});
}

// Where everything lies: offsets from the section's start.
struct TreeLayout {
  std::vector<uint16_t> types;
  std::vector<size_t> ids_of_type;  // per type
  std::vector<size_t> type_at;      // per type: its directory of ids
  std::vector<size_t> language_at, entry_at, data_at;  // per resource
  size_t end = 0;
};

TreeLayout layout_tree(const std::vector<Resource>& resources) {
  TreeLayout layout;
  for (const Resource& r : resources) {
    if (layout.types.empty() || layout.types.back() != r.type) {
      layout.types.push_back(r.type);
      layout.ids_of_type.push_back(0);
    }
    ++layout.ids_of_type.back();
  }
  size_t at = directory_bytes(layout.types.size());
  for (size_t t = 0, first = 0; t < layout.types.size(); first += layout.ids_of_type[t], ++t) {
    layout.type_at.push_back(at);
    at += directory_bytes(layout.ids_of_type[t]);
    for (size_t i = first; i < first + layout.ids_of_type[t]; ++i, at += directory_bytes(1)) {
      layout.language_at.push_back(at);
    }
  }
  for (size_t i = 0; i < resources.size(); ++i, at += sizeof(ResourceDataEntry)) {
    layout.entry_at.push_back(at);
  }
  for (const Resource& r : resources) {
    at = align_up(at, kDataAlignment);
    layout.data_at.push_back(at);
    at += r.data.size();
  }
  layout.end = align_up(at, kDataAlignment);
  return layout;
}

}  // namespace

std::vector<uint8_t> resource_section(const std::vector<Resource>& resources, uint32_t rva) {
  const TreeLayout layout = layout_tree(resources);
  std::vector<uint8_t> out;
  out.reserve(layout.end);
  append_directory(out, layout.types.size());
  for (size_t t = 0; t < layout.types.size(); ++t) {
    append_entry(out, layout.types[t], layout.type_at[t], true);
  }
  for (size_t t = 0, first = 0; t < layout.types.size(); first += layout.ids_of_type[t], ++t) {
    const size_t last = first + layout.ids_of_type[t];
    append_directory(out, layout.ids_of_type[t]);
    for (size_t i = first; i < last; ++i) append_entry(out, resources[i].id, layout.language_at[i], true);
    for (size_t i = first; i < last; ++i) {
      append_directory(out, 1);
      append_entry(out, kLanguageEnglishUs, layout.entry_at[i], false);
    }
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    append_record(out, ResourceDataEntry{rva + static_cast<uint32_t>(layout.data_at[i]),
                                         static_cast<uint32_t>(resources[i].data.size()), 0, 0});
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    out.resize(layout.data_at[i], 0);
    out.insert(out.end(), resources[i].data.begin(), resources[i].data.end());
  }
  out.resize(layout.end, 0);
  return out;
}

}  // namespace veldro
