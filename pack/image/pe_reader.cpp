// The PE image model and its look-ups (see pe_reader.h).
#include "pack/image/pe_reader.h"

#include <string.h>

#include <algorithm>

namespace veldro {
namespace {

// A bound on a name read, so that a hostile table cannot make the reader loop for long.
constexpr size_t kMaxNameBytes = 512;

// The optional header of either layout, its fields in the model's form, and where its data
// directories start (from the optional header's start). False when it is neither layout or
// its size leaves no room for its fixed fields.
bool read_optional_header(const ByteSource& file, uint64_t at, uint16_t size,
                          OptionalHeader64* header, size_t* directories_at) {
  uint16_t magic;
  if (!load_record(file, at, &magic)) return false;
  if (magic == kOptionalPe32Plus) {
    *directories_at = sizeof(OptionalHeader64);
    return size >= *directories_at && load_record(file, at, header);
  }
  OptionalHeader32 pe32;
  *directories_at = sizeof(OptionalHeader32);
  if (magic != kOptionalPe32 || size < *directories_at || !load_record(file, at, &pe32)) {
    return false;
  }
  *header = {};
  header->start = pe32.start;
  header->directory_count = pe32.directory_count;
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

// The file offset of a directory's table; false when the image has none or no section holds it.
bool directory_offset(const PeImage& image, size_t index, uint64_t* offset) {
  DataDirectory directory = image.directory(index);
  return directory.rva != 0 && rva_to_offset(image, directory.rva, offset);
}

}  // namespace

bool read_pe_image(const ByteSource& file, PeImage* image) {
  DosHeader dos;
  uint8_t signature[4];
  PeImage result;
  if (!load_record(file, 0, &dos) || dos.magic != kDosMagic ||
      !file.read(dos.pe_offset, signature, 4) || memcmp(signature, kPeSignature, 4) != 0) {
    return false;
  }
  result.pe_offset = dos.pe_offset;
  size_t directories_at;
  if (!load_record(file, dos.pe_offset + uint64_t{4}, &result.file) ||
      result.file.section_count > kMaxSections ||
      !read_optional_header(file, result.optional_header_offset(),
                            result.file.optional_header_size, &result.optional, &directories_at)) {
    return false;
  }
  size_t directory_count = std::min<size_t>(
      {result.optional.directory_count,
       (result.file.optional_header_size - directories_at) / sizeof(DataDirectory),
       kMaxDirectories});
  result.directories.resize(directory_count);
  for (size_t i = 0; i < directory_count; ++i) {
    uint64_t at = result.optional_header_offset() + directories_at + sizeof(DataDirectory) * i;
    if (!load_record(file, at, &result.directories[i])) return false;
  }
  result.sections.resize(result.file.section_count);
  for (size_t i = 0; i < result.sections.size(); ++i) {
    uint64_t at = result.section_table_offset() + kSectionHeaderBytes * i;
    if (!load_record(file, at, &result.sections[i])) return false;
  }
  *image = std::move(result);
  return true;
}

std::string section_name(const SectionHeader& section) {
  return std::string(section.name, strnlen(section.name, sizeof section.name));
}

bool rva_to_offset(const PeImage& image, uint32_t rva, uint64_t* offset) {
  for (const SectionHeader& s : image.sections) {
    if (rva >= s.virtual_address && rva - s.virtual_address < s.raw_size) {
      *offset = uint64_t{s.raw_offset} + (rva - s.virtual_address);
      return true;
    }
  }
  return false;
}

bool exports_name(const ByteSource& file, const PeImage& image, const std::string& name) {
  uint64_t directory_at, names_at;
  ExportDirectory directory;
  if (!directory_offset(image, kExportDirectory, &directory_at) ||
      !load_record(file, directory_at, &directory) ||
      !rva_to_offset(image, directory.names, &names_at)) {
    return false;
  }
  for (uint32_t i = 0; i < directory.name_count; ++i) {
    uint32_t name_rva;
    std::string exported;
    if (!load_record(file, names_at + 4ull * i, &name_rva) ||
        !read_name(file, image, name_rva, &exported)) {
      return false;
    }
    if (exported == name) return true;
  }
  return false;
}

std::vector<std::string> imported_dlls(const ByteSource& file, const PeImage& image) {
  std::vector<std::string> dlls;
  uint64_t table;
  if (!directory_offset(image, kImportDirectory, &table)) return dlls;
  for (uint32_t i = 0; i < kMaxImports; ++i) {
    ImportDescriptor descriptor;
    if (!load_record(file, table + sizeof descriptor * i, &descriptor)) break;
    if (descriptor.name == 0 && descriptor.address_table == 0) break;
    std::string name;
    if (!read_name(file, image, descriptor.name, &name)) break;
    dlls.push_back(name);
  }
  return dlls;
}

uint64_t pe_file_extent(const PeImage& image) {
  uint64_t extent = image.optional.start.headers_size;
  for (const SectionHeader& s : image.sections) {
    if (s.raw_size > 0) extent = std::max<uint64_t>(extent, uint64_t{s.raw_offset} + s.raw_size);
  }
  DataDirectory certificate = image.directory(kCertificateDirectory);
  if (certificate.size > 0) {
    extent = std::max<uint64_t>(extent, uint64_t{certificate.rva} + certificate.size);
  }
  return extent;
}

}  // namespace veldro
