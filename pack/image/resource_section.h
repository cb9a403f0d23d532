// An exe's resources in the binary form the loader reads (the .rsrc section), for an exe
// written without a resource compiler: a three-level tree (type, id, language) laid out as the
// resource compiler lays it out. Relies on pe_format.h. Portable.
#pragma once

#include <stdint.h>

#include <vector>

namespace veldro {

constexpr uint16_t kResourceIcon = 3;
constexpr uint16_t kResourceGroupIcon = 14;
constexpr uint16_t kResourceVersion = 16;
constexpr uint16_t kResourceManifest = 24;
constexpr uint32_t kLanguageEnglishUs = 0x409;

struct Resource {
  uint16_t type;
  uint16_t id;
  std::vector<uint8_t> data;
};

// A resource section holding the resources (sorted by type, then id, one id a type at most
// once), all in the language U.S. English, for a section placed at the relative virtual
// address rva: the root directory, then for each type its directory of ids followed by each
// id's directory of languages; then the data entries; then the data, each at an 8-byte
// boundary, and padding to the next one.
std::vector<uint8_t> resource_section(const std::vector<Resource>& resources, uint32_t rva);

}  // namespace veldro
