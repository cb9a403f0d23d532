// .ico reading and the icon resources (see icon.h).
#include "pack/image/icon.h"

#include "pack/base/pack_error.h"

namespace veldro {

IconFile read_icon(const ByteSource& source) {
  auto refuse = [&]() { throw PackError("icon '" + source.name() + "' is not a valid .ico file"); };
  IconDir header;
  if (!load_record(source, 0, &header) || header.reserved != 0 || header.type != 1 ||
      header.count == 0) {
    refuse();
  }
  const uint64_t images_start = sizeof(IconDir) + uint64_t{sizeof(IconDirEntry)} * header.count;
  IconFile icon;
  icon.entries.resize(header.count);
  for (size_t i = 0; i < icon.entries.size(); ++i) {
    IconDirEntry& entry = icon.entries[i];
    if (!load_record(source, sizeof(IconDir) + sizeof(IconDirEntry) * i, &entry) ||
        entry.bytes == 0 || entry.offset < images_start ||
        uint64_t{entry.offset} + entry.bytes > source.size()) {
      refuse();
    }
  }
  for (const IconDirEntry& entry : icon.entries) {
    icon.images.emplace_back(entry.bytes);
    if (!source.read(entry.offset, icon.images.back().data(), entry.bytes)) refuse();
  }
  return icon;
}

IconFile read_icon_file(const std::string& path) { return read_icon(FileSource(path, "an icon")); }

std::vector<Resource> icon_resources(const IconFile& icon) {
  std::vector<Resource> resources;
  Resource group = {kResourceGroupIcon, 1, {}};
  append_record(group.data, IconDir{0, 1, static_cast<uint16_t>(icon.entries.size())});
  for (size_t i = 0; i < icon.entries.size(); ++i) {
    const IconDirEntry& e = icon.entries[i];
    const uint16_t id = static_cast<uint16_t>(i + 1);
    append_record(group.data, GroupIconEntry{e.width, e.height, e.colors, e.reserved, e.planes,
                                             e.bit_count, e.bytes, id});
    resources.push_back({kResourceIcon, id, icon.images[i]});
  }
  resources.push_back(std::move(group));
  return resources;
}

}  // namespace veldro
