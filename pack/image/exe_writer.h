// Writes a launcher exe on a prebuilt stub, without compiler, linker or resource compiler: the
// stub's model (pe_reader.h) gets a resource section in place of its placeholder section and
// the build-inputs section after it, its headers are made to match, and the model is
// serialized with the stub's own section contents. Relies on base/ and the rest of image/.
// Portable.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "pack/base/byte_source.h"
#include "pack/image/pe_reader.h"
#include "pack/image/resource_section.h"

namespace veldro {

// A stub as read and checked, ready to be built on.
struct Stub {
  std::string path;
  PeImage image;
  std::vector<uint8_t> bytes;  // the whole file: the DOS header and stub, section contents
  bool console = false;        // the console subsystem, else the graphical one
};

// Reads and checks a stub. Throws PackError "stub '<name>' ..." when it is no 64-bit Windows
// program (an exe of the graphical or console subsystem with power-of-two alignments, the
// file's at most 64 KiB and at most the sections', and a certificate directory), when the file ends before its headers say, when it has no
// build-inputs section as its last section, when another section's file data overlaps the
// headers or that section, when that section holds no build inputs of this packer's layout,
// when it already carries resources (a built exe, not a stub), or when its headers have no
// room for one more section.
Stub read_stub(const ByteSource& file);
Stub read_stub_file(const std::string& path);

// The exe: the stub with the resources and the build-inputs section, its section table,
// image size, size of initialized data, resource directory and checksum fixed, and no
// security directory (a signature of the stub would not cover the new sections). Throws
// PackError when the image would pass 2 GiB.
std::vector<uint8_t> build_exe(const Stub& stub, const std::vector<Resource>& resources,
                               const std::vector<uint8_t>& inputs);

// The PE checksum of an image file: its 16-bit words summed with end-around carry, the
// checksum field itself (4 bytes at checksum_offset) counted as zero, plus the file's length.
uint32_t pe_checksum(const std::vector<uint8_t>& file, size_t checksum_offset);

// The file offset of the optional header's checksum field.
uint64_t checksum_offset(const PeImage& image);

}  // namespace veldro
