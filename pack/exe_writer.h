// Writes a launcher exe from a prebuilt stub, without compiler, linker or resource compiler:
// the stub's own sections as they are, then a resource section and the build-inputs section
// in place of the stub's placeholder, with the headers made to match. Portable.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "pack/resource_section.h"

namespace veldro {

// A stub as read and checked, ready to be built on.
struct Stub {
  std::string path;
  std::vector<uint8_t> bytes;
  bool console = false;  // the console subsystem, else the graphical one
};

// Reads and checks the stub at path. Throws PackError naming it when it is no 64-bit Windows
// program, when the file ends before its headers say, when it has no build-inputs section as
// its last section, when that section holds no build inputs of this packer's layout, or when
// it already carries resources (a built exe, not a stub).
Stub read_stub(const std::string& path);

// The exe: the stub with the resources and the build-inputs section, its section table,
// image size, size of initialized data, resource directory and checksum fixed, and no
// security directory (a signature of the stub would not cover the new sections).
std::vector<uint8_t> build_exe(const Stub& stub, const std::vector<Resource>& resources,
                               const std::vector<uint8_t>& inputs);

// The PE checksum of an image file: its 16-bit words summed with end-around carry, the
// checksum field itself (4 bytes at checksum_offset) counted as zero, plus the file's length.
uint32_t pe_checksum(const std::vector<uint8_t>& file, size_t checksum_offset);

}  // namespace veldro
