// The build-inputs section of a launcher built from a stub (layout in
// launcher/build_inputs_section.h): written by `veldro-pack build`, checked by `verify`.
// Portable.
#pragma once

#include <stdint.h>

#include <vector>

#include "pack/byte_source.h"
#include "pack/coff_object.h"
#include "pack/inspect.h"
#include "pack/pe_image.h"

namespace veldro {

// The section's bytes: the header, the payload at a 16-byte boundary, then the strings.
std::vector<uint8_t> inputs_section(const std::vector<uint8_t>& payload,
                                    const LauncherStrings& strings);

// The image's build-inputs section, or null when it has none.
const PeSection* find_inputs_section(const PeImage& image);

// For an exe built from a stub: throws PackError naming the file unless its build-inputs
// section reads as the launcher reads it and names exactly the payload found at `where`.
void check_inputs_section(const ByteSource& file, const PeSection& section,
                          const PayloadLocation& where);

}  // namespace veldro
