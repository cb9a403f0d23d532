// The launcher exe's resources in the binary form the loader reads, for an exe written without
// a resource compiler: the version information, the manifest and the icon that the resource
// script of resources.h describes, each resource's bytes as a resource compiler makes them.
// Portable.
#pragma once

#include <stdint.h>

#include <vector>

#include "pack/resources.h"

namespace veldro {

constexpr uint16_t kResourceIcon = 3;
constexpr uint16_t kResourceGroupIcon = 14;
constexpr uint16_t kResourceVersion = 16;
constexpr uint16_t kResourceManifest = 24;

struct Resource {
  uint16_t type;
  uint16_t id;
  std::vector<uint8_t> data;
};

// The resources of info, sorted by type, then id: the icon's images (ids 1 to n) and its group
// (id 1) when there is an icon, the version information and the manifest (id 1). Throws
// PackError on an icon that is no .ico file and on versions that version_numbers refuses.
std::vector<Resource> launcher_resources(const ResourceInfo& info);

// A resource section holding the resources (sorted by type, then id), all in the language
// U.S. English, for a section placed at the relative virtual address rva.
std::vector<uint8_t> resource_section(const std::vector<Resource>& resources, uint32_t rva);

}  // namespace veldro
