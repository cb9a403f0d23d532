// Fuzz target: an .ico file as pack and build read it, and the icon resources made from every
// file it accepts: one icon per directory entry, each of the entry's size, and a group that
// repeats the directory.
#include <stddef.h>
#include <stdint.h>

#include "pack/base/byte_source.h"
#include "pack/base/pack_error.h"
#include "pack/image/icon.h"
#include "pack/image/resource_section.h"

using namespace veldro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  IconFile icon;
  try {
    icon = read_icon(MemorySource(data, size));
  } catch (const PackError&) {
    return 0;
  }
  std::vector<Resource> resources = icon_resources(icon);
  if (resources.size() != icon.entries.size() + 1) __builtin_trap();
  for (size_t i = 0; i < icon.entries.size(); ++i) {
    if (resources[i].data.size() != icon.entries[i].bytes) __builtin_trap();
  }
  if (resources.back().data.size() != sizeof(IconDir) + sizeof(GroupIconEntry) * icon.entries.size()) {
    __builtin_trap();
  }
  resource_section(resources, 0x1000);
  return 0;
}
