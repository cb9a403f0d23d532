// .ico files: read and checked, and turned into the icon resources of an exe (each image an
// icon resource, the file's directory an icon group). Relies on base/ and pe_format.h. Portable.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "pack/base/byte_source.h"
#include "pack/image/pe_format.h"
#include "pack/image/resource_section.h"

namespace veldro {

struct IconFile {
  std::vector<IconDirEntry> entries;
  std::vector<std::vector<uint8_t>> images;  // per entry, its bytes
};

// Reads an .ico file from source: the header (reserved 0, type 1, at least one image), the
// directory and every image. Throws PackError "icon '<name>' is not a valid .ico file" when any
// of them does not lie within the file, an image is empty or overlaps the directory.
IconFile read_icon(const ByteSource& source);

// The same from the file at path; throws PackError naming it also when it is missing or a
// directory.
IconFile read_icon_file(const std::string& path);

// Icon resources 1 to n, one per image, and the group resource 1 that repeats the file's
// directory with each image's resource id in place of its file offset.
std::vector<Resource> icon_resources(const IconFile& icon);

}  // namespace veldro
