// The build-inputs section of an exe built on a stub (its layout is format/build_inputs.h's):
// written from the fields' contents, found in an image, and checked as the launcher reads it.
// Relies on format/, base/ and pe_reader.h. Portable.
#pragma once

#include <stdint.h>

#include <vector>

#include "format/build_inputs.h"
#include "pack/base/byte_source.h"
#include "pack/image/pe_reader.h"

namespace veldro {

// The contents of the fields, in InputsField order: the payload, then the strings (UTF-16LE,
// each with its terminator). Each points at bytes that outlive the call.
using InputsContents = const std::vector<uint8_t>* [kInputsFieldCount];

// The section's bytes: the header, then every field at its boundary.
std::vector<uint8_t> inputs_section(const InputsContents& contents);

// The image's build-inputs section, or null when it has none.
const SectionHeader* find_inputs_section(const PeImage& image);

// Throws PackError naming the file unless the section, read as the launcher reads it (its
// virtual size, of which the file holds the raw size), has a valid header and strings and
// names as its payload exactly the payload_length bytes at file offset payload_offset.
void check_inputs_section(const ByteSource& file, const SectionHeader& section,
                          uint64_t payload_offset, uint64_t payload_length);

// For a file that is a PE image with a build-inputs section (an exe built on a stub): checks
// that section as check_inputs_section does. Any other file passes.
void check_image_inputs(const ByteSource& file, uint64_t payload_offset, uint64_t payload_length);

}  // namespace veldro
