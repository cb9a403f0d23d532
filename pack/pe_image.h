// Reads what the packer needs from a PE image (an exe or a DLL): its headers and section
// table, its exported and imported names, and how many bytes of file its headers promise.
// Portable; reads through a ByteSource, never the whole file.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "pack/byte_source.h"

namespace veldro {

struct PeSection {
  std::string name;  // up to 8 characters
  uint32_t virtual_address = 0;
  uint32_t virtual_size = 0;
  uint32_t raw_offset = 0;
  uint32_t raw_size = 0;
};

struct PeImage {
  uint16_t machine = 0;
  uint16_t characteristics = 0;
  bool pe32_plus = false;  // a 64-bit image
  uint16_t subsystem = 0;
  uint32_t headers_size = 0;
  uint32_t section_alignment = 0;
  uint32_t file_alignment = 0;
  uint64_t optional_header_offset = 0;  // file offsets of the optional header and of the
  uint64_t section_table_offset = 0;    // section table
  std::vector<PeSection> sections;
  std::vector<uint32_t> directory_rva;   // the data directories, by index
  std::vector<uint32_t> directory_size;

  bool is_dll() const { return (characteristics & 0x2000) != 0; }
  bool is_x64() const { return machine == 0x8664 && pe32_plus; }
};

constexpr size_t kExportDirectory = 0;
constexpr size_t kImportDirectory = 1;
constexpr size_t kResourceDirectory = 2;
constexpr size_t kCertificateDirectory = 4;  // a file offset, not an address

// Reads the headers and the section table; false when the bytes are no PE image ("MZ", a
// "PE\0\0" signature, an optional header and a section table inside the file).
bool read_pe_image(const ByteSource& file, PeImage* image);

// The file offset of a relative virtual address; false when no section's file data holds it.
bool rva_to_offset(const PeImage& image, uint32_t rva, uint64_t* offset);

// True when the export table names `name`.
bool exports_name(const ByteSource& file, const PeImage& image, const std::string& name);

// The DLL names of the import table, as the image spells them; a malformed table gives the
// names read before the fault.
std::vector<std::string> imported_dlls(const ByteSource& file, const PeImage& image);

// The file size the headers promise: the end of the headers, of every section's file data
// and of the certificate table (an Authenticode signature), whichever lies furthest.
uint64_t pe_file_extent(const PeImage& image);

}  // namespace veldro
