// The model of a PE image (an exe or a DLL) that the packer reads and writes: its headers, data
// directories and section table as records of pe_format.h, read through a ByteSource, never
// the whole file; and what the packer looks up in it: exported and imported names, file offsets
// of addresses, how many bytes of file the headers promise. Relies on base/ and pe_format.h.
// Portable.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "pack/base/byte_source.h"
#include "pack/image/pe_format.h"

namespace veldro {

// The loader refuses images of more sections.
constexpr size_t kMaxSections = 96;

struct PeImage {
  uint32_t pe_offset = 0;  // where "PE\0\0" stands (the DOS header's pe_offset)
  FileHeader file = {};
  // PE32+: as read. PE32: the fields both layouts share (through subsystem and DLL
  // characteristics); image_base holds the PE32 base of data and image base.
  OptionalHeader64 optional = {};
  std::vector<DataDirectory> directories;  // as many as the header names and holds, at most 16
  std::vector<SectionHeader> sections;

  bool pe32_plus() const { return optional.start.magic == kOptionalPe32Plus; }
  bool is_dll() const { return (file.characteristics & kFileDll) != 0; }
  bool is_x64() const { return file.machine == kMachineAmd64 && pe32_plus(); }
  uint64_t optional_header_offset() const { return uint64_t{pe_offset} + 4 + sizeof(FileHeader); }
  uint64_t section_table_offset() const {
    return optional_header_offset() + file.optional_header_size;
  }
  // The directory at index, or an empty one when the image has fewer.
  DataDirectory directory(size_t index) const {
    return index < directories.size() ? directories[index] : DataDirectory{0, 0};
  }
};

// Reads the headers and the section table into *image. False when the bytes are no PE image:
// no "MZ", no "PE\0\0" signature where the DOS header points, no PE32 or PE32+ optional header
// up to its data directories, more than 96 sections (the loader's own limit), or a section
// table that ends past the end of the file.
bool read_pe_image(const ByteSource& file, PeImage* image);

// A section's name: up to 8 characters.
std::string section_name(const SectionHeader& section);

// The file offset of a relative virtual address; false when no section's file data holds it.
bool rva_to_offset(const PeImage& image, uint32_t rva, uint64_t* offset);

// True when the export table names `name`; false also when the table cannot be read.
bool exports_name(const ByteSource& file, const PeImage& image, const std::string& name);

// The DLL names of the import table, as the image spells them, up to the all-zero descriptor,
// at most kMaxImports of them; a malformed table gives the names read before the fault.
constexpr uint32_t kMaxImports = 65536;
std::vector<std::string> imported_dlls(const ByteSource& file, const PeImage& image);

// The file size the headers promise: the end of the headers, of every section's file data
// and of the certificate table (an Authenticode signature), whichever lies furthest.
uint64_t pe_file_extent(const PeImage& image);

}  // namespace veldro
