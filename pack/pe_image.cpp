// PE image reading (see pe_image.h).
#include "pack/pe_image.h"

#include <string.h>

#include <algorithm>

#include "pack/byte_order.h"

namespace veldro {
namespace {

constexpr uint16_t kOptionalPe32 = 0x10B;
constexpr uint16_t kOptionalPe32Plus = 0x20B;
constexpr uint32_t kSectionHeaderBytes = 40;
constexpr uint32_t kImportDescriptorBytes = 20;
// Bounds on what a sane image holds, so that a hostile header cannot make the reader loop
// for long: the loader itself refuses more than 96 sections.
constexpr uint32_t kMaxSections = 96;
constexpr uint32_t kMaxImports = 65536;
constexpr size_t kMaxNameBytes = 512;

bool read16(const ByteSource& file, uint64_t offset, uint32_t* value) {
  uint8_t b[2];
  if (!file.read(offset, b, 2)) return false;
  *value = static_cast<uint32_t>(load_le(b, 2));
  return true;
}

bool read32(const ByteSource& file, uint64_t offset, uint32_t* value) {
  uint8_t b[4];
  if (!file.read(offset, b, 4)) return false;
  *value = static_cast<uint32_t>(load_le(b, 4));
  return true;
}

// A NUL-terminated ASCII name at a relative virtual address; false when it does not end
// inside the file within kMaxNameBytes.
bool read_name(const ByteSource& file, const PeImage& image, uint32_t rva, std::string* name) {
  uint64_t offset;
  if (!rva_to_offset(image, rva, &offset)) return false;
  name->clear();
  for (size_t i = 0; i < kMaxNameBytes; ++i) {
    char c;
    if (!file.read(offset + i, &c, 1)) return false;
    if (c == '\0') return true;
    name->push_back(c);
  }
  return false;
}

}  // namespace

bool read_pe_image(const ByteSource& file, PeImage* image) {
  uint8_t mz[2];
  uint32_t header = 0, signature = 0;
  if (!file.read(0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z' || !read32(file, 60, &header) ||
      !read32(file, header, &signature) || signature != 0x00004550) {
    return false;
  }
  uint32_t machine, sections, optional_size, characteristics, magic;
  if (!read16(file, header + 4, &machine) || !read16(file, header + 6, &sections) ||
      !read16(file, header + 20, &optional_size) || !read16(file, header + 22, &characteristics) ||
      !read16(file, header + 24, &magic) || sections > kMaxSections) {
    return false;
  }
  uint64_t optional = header + 24;
  bool plus = magic == kOptionalPe32Plus;
  if (!plus && magic != kOptionalPe32) return false;
  // Where the header size and the data directories sit differs between PE32 and PE32+.
  uint32_t directory_count_at = plus ? 108 : 92;
  uint32_t directories_at = plus ? 112 : 96;
  uint32_t headers_size, directory_count, section_alignment, file_alignment, subsystem;
  if (optional_size < directories_at || !read32(file, optional + 60, &headers_size) ||
      !read32(file, optional + directory_count_at, &directory_count) ||
      !read32(file, optional + 32, &section_alignment) ||
      !read32(file, optional + 36, &file_alignment) || !read16(file, optional + 68, &subsystem)) {
    return false;
  }
  directory_count = std::min<uint32_t>(directory_count, (optional_size - directories_at) / 8);
  directory_count = std::min<uint32_t>(directory_count, 16);

  PeImage result;
  result.machine = static_cast<uint16_t>(machine);
  result.characteristics = static_cast<uint16_t>(characteristics);
  result.pe32_plus = plus;
  result.subsystem = static_cast<uint16_t>(subsystem);
  result.headers_size = headers_size;
  result.section_alignment = section_alignment;
  result.file_alignment = file_alignment;
  result.optional_header_offset = optional;
  for (uint32_t i = 0; i < directory_count; ++i) {
    uint32_t rva, size;
    if (!read32(file, optional + directories_at + 8ull * i, &rva) ||
        !read32(file, optional + directories_at + 8ull * i + 4, &size)) {
      return false;
    }
    result.directory_rva.push_back(rva);
    result.directory_size.push_back(size);
  }
  uint64_t table = optional + optional_size;
  result.section_table_offset = table;
  for (uint32_t i = 0; i < sections; ++i) {
    uint64_t at = table + kSectionHeaderBytes * i;
    PeSection s;
    char name[8];
    if (!file.read(at, name, 8) || !read32(file, at + 8, &s.virtual_size) ||
        !read32(file, at + 12, &s.virtual_address) || !read32(file, at + 16, &s.raw_size) ||
        !read32(file, at + 20, &s.raw_offset)) {
      return false;
    }
    s.name.assign(name, strnlen(name, 8));
    result.sections.push_back(s);
  }
  *image = std::move(result);
  return true;
}

bool rva_to_offset(const PeImage& image, uint32_t rva, uint64_t* offset) {
  for (const PeSection& s : image.sections) {
    if (rva >= s.virtual_address && rva - s.virtual_address < s.raw_size) {
      *offset = static_cast<uint64_t>(s.raw_offset) + (rva - s.virtual_address);
      return true;
    }
  }
  return false;
}

bool exports_name(const ByteSource& file, const PeImage& image, const std::string& name) {
  if (image.directory_rva.size() <= kExportDirectory) return false;
  uint64_t directory, names;
  uint32_t name_count, names_rva;
  if (image.directory_rva[kExportDirectory] == 0 ||
      !rva_to_offset(image, image.directory_rva[kExportDirectory], &directory) ||
      !read32(file, directory + 24, &name_count) || !read32(file, directory + 32, &names_rva) ||
      !rva_to_offset(image, names_rva, &names)) {
    return false;
  }
  for (uint32_t i = 0; i < name_count; ++i) {
    uint32_t name_rva;
    std::string exported;
    if (!read32(file, names + 4ull * i, &name_rva) || !read_name(file, image, name_rva, &exported)) {
      return false;
    }
    if (exported == name) return true;
  }
  return false;
}

std::vector<std::string> imported_dlls(const ByteSource& file, const PeImage& image) {
  std::vector<std::string> dlls;
  uint64_t table;
  if (image.directory_rva.size() <= kImportDirectory || image.directory_rva[kImportDirectory] == 0 ||
      !rva_to_offset(image, image.directory_rva[kImportDirectory], &table)) {
    return dlls;
  }
  // Descriptors of 20 bytes (name at 12, first thunk at 16), up to an all-zero one.
  for (uint32_t i = 0; i < kMaxImports; ++i) {
    uint32_t name_rva, thunk_rva;
    uint64_t at = table + kImportDescriptorBytes * i;
    if (!read32(file, at + 12, &name_rva) || !read32(file, at + 16, &thunk_rva)) break;
    if (name_rva == 0 && thunk_rva == 0) break;
    std::string name;
    if (!read_name(file, image, name_rva, &name)) break;
    dlls.push_back(name);
  }
  return dlls;
}

uint64_t pe_file_extent(const PeImage& image) {
  uint64_t extent = image.headers_size;
  for (const PeSection& s : image.sections) {
    if (s.raw_size > 0) extent = std::max<uint64_t>(extent, uint64_t{s.raw_offset} + s.raw_size);
  }
  if (image.directory_size.size() > kCertificateDirectory &&
      image.directory_size[kCertificateDirectory] > 0) {
    extent = std::max<uint64_t>(extent, uint64_t{image.directory_rva[kCertificateDirectory]} +
                                            image.directory_size[kCertificateDirectory]);
  }
  return extent;
}

}  // namespace veldro
