// Building an exe on a stub (see exe_writer.h). The whole layout is computed first, then one
// buffer is written in file order: the stub's headers (fixed) and sections, the resource
// section, the build-inputs section.
#include "pack/exe_writer.h"

#include "format/build_inputs.h"
#include "pack/app_tree.h"
#include "pack/byte_order.h"
#include "pack/inputs_section.h"
#include "pack/pe_image.h"

namespace veldro {
namespace {

constexpr uint16_t kSubsystemGui = 2;
constexpr uint16_t kSubsystemConsole = 3;
constexpr uint32_t kSectionHeaderBytes = 40;
constexpr uint32_t kReadOnlyData = 0x00000040 | 0x40000000;  // initialized data, readable
// The file header (20 bytes, its section count at 2) stands just before the optional header;
// the other fields to fix are at these offsets from the optional header's start (PE32+).
constexpr uint64_t kFileHeaderBytes = 20;
constexpr uint64_t kNumberOfSectionsAt = 2;
constexpr uint64_t kInitializedDataAt = 8;
constexpr uint64_t kSizeOfImageAt = 56;
constexpr uint64_t kCheckSumAt = 64;
constexpr uint64_t kDirectoriesAt = 112;

uint64_t align_up(uint64_t v, uint64_t alignment) {
  return (v + alignment - 1) / alignment * alignment;
}

bool is_power_of_two(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

void store32(std::vector<uint8_t>& b, uint64_t at, uint32_t v) { store_le(b, at, v, 4); }

struct NewSection {
  const char* name;
  uint32_t virtual_address, virtual_size, raw_offset, raw_size;
};

void store_section_header(std::vector<uint8_t>& b, uint64_t at, const NewSection& s) {
  std::fill(b.begin() + at, b.begin() + at + kSectionHeaderBytes, 0);
  for (size_t i = 0; i < 8 && s.name[i] != '\0'; ++i) b[at + i] = static_cast<uint8_t>(s.name[i]);
  store32(b, at + 8, s.virtual_size);
  store32(b, at + 12, s.virtual_address);
  store32(b, at + 16, s.raw_size);
  store32(b, at + 20, s.raw_offset);
  store32(b, at + 36, kReadOnlyData);
}

}  // namespace

Stub read_stub(const std::string& path) {
  FileSource file(path, "a launcher stub");
  auto refuse = [&](const std::string& why) -> void {
    throw PackError("stub '" + path + "' " + why);
  };
  PeImage image;
  if (!read_pe_image(file, &image) || !image.is_x64() || image.is_dll() ||
      (image.subsystem != kSubsystemGui && image.subsystem != kSubsystemConsole) ||
      !is_power_of_two(image.file_alignment) || !is_power_of_two(image.section_alignment) ||
      image.directory_rva.size() <= kCertificateDirectory) {
    refuse("is not a 64-bit Windows program, so no launcher stub");
  }
  uint64_t extent = pe_file_extent(image);
  if (extent > file.size()) {
    refuse("is cut short: its headers promise " + std::to_string(extent) + " bytes, the file has " +
           std::to_string(file.size()));
  }
  const PeSection* inputs = find_inputs_section(image);
  if (inputs == nullptr || inputs != &image.sections.back() ||
      inputs->raw_size < kInputsHeaderBytes) {
    refuse("has no payload section (.veldro) at the end of its image, so it is no launcher stub");
  }
  uint8_t header[kInputsHeaderBytes];
  InputsSpan fields[kInputsFieldCount];
  if (!file.read(inputs->raw_offset, header, sizeof header) ||
      !read_inputs_header(header, inputs->raw_size, fields)) {
    refuse("has a payload section (.veldro) of another layout than this packer writes");
  }
  if (image.directory_rva[kResourceDirectory] != 0) {
    refuse("already carries resources: it is a built exe, not a stub");
  }
  // The new resource section takes the placeholder's header; the section table needs room
  // for one header more.
  if (image.section_table_offset + kSectionHeaderBytes * (image.sections.size() + 1) >
      image.headers_size) {
    refuse("has no room in its headers for one more section");
  }
  return {path, read_file_bytes(path), image.subsystem == kSubsystemConsole};
}

std::vector<uint8_t> build_exe(const Stub& stub, const std::vector<Resource>& resources,
                               const std::vector<uint8_t>& inputs) {
  MemorySource source(stub.bytes);
  PeImage image;
  if (!read_pe_image(source, &image)) throw PackError("stub '" + stub.path + "' changed");
  const PeSection& placeholder = image.sections.back();
  const uint64_t file_alignment = image.file_alignment, section_alignment = image.section_alignment;

  // Layout: the resource section where the placeholder was, the build-inputs section after it.
  NewSection rsrc = {".rsrc", placeholder.virtual_address, 0, placeholder.raw_offset, 0};
  std::vector<uint8_t> rsrc_bytes = resource_section(resources, rsrc.virtual_address);
  rsrc.virtual_size = static_cast<uint32_t>(rsrc_bytes.size());
  rsrc.raw_size = static_cast<uint32_t>(align_up(rsrc_bytes.size(), file_alignment));
  uint64_t inputs_address =
      align_up(uint64_t{rsrc.virtual_address} + rsrc.virtual_size, section_alignment);
  uint64_t inputs_raw = align_up(inputs.size(), file_alignment);
  uint64_t image_size = align_up(inputs_address + inputs.size(), section_alignment);
  uint64_t file_size = uint64_t{rsrc.raw_offset} + rsrc.raw_size + inputs_raw;
  if (image_size > 0x7FFFFFFF) throw PackError("the payload is too large for an exe image (2 GiB)");
  NewSection veldro = {kInputsSectionName, static_cast<uint32_t>(inputs_address),
                       static_cast<uint32_t>(inputs.size()), rsrc.raw_offset + rsrc.raw_size,
                       static_cast<uint32_t>(inputs_raw)};

  // Headers and the stub's own sections, then the fixed fields.
  std::vector<uint8_t> out(stub.bytes.begin(), stub.bytes.begin() + placeholder.raw_offset);
  out.reserve(file_size);
  const uint64_t optional = image.optional_header_offset;
  const uint64_t table = image.section_table_offset;
  size_t sections = image.sections.size();
  store_le(out, optional - kFileHeaderBytes + kNumberOfSectionsAt, sections + 1, 2);
  uint32_t initialized = static_cast<uint32_t>(load_le(&out[optional + kInitializedDataAt], 4));
  store32(out, optional + kInitializedDataAt,
        initialized - placeholder.raw_size + rsrc.raw_size + veldro.raw_size);
  store32(out, optional + kSizeOfImageAt, static_cast<uint32_t>(image_size));
  store32(out, optional + kDirectoriesAt + 8 * kResourceDirectory, rsrc.virtual_address);
  store32(out, optional + kDirectoriesAt + 8 * kResourceDirectory + 4, rsrc.virtual_size);
  store32(out, optional + kDirectoriesAt + 8 * kCertificateDirectory, 0);
  store32(out, optional + kDirectoriesAt + 8 * kCertificateDirectory + 4, 0);
  store_section_header(out, table + kSectionHeaderBytes * (sections - 1), rsrc);
  store_section_header(out, table + kSectionHeaderBytes * sections, veldro);

  out.insert(out.end(), rsrc_bytes.begin(), rsrc_bytes.end());
  out.resize(veldro.raw_offset, 0);
  out.insert(out.end(), inputs.begin(), inputs.end());
  out.resize(file_size, 0);
  store32(out, optional + kCheckSumAt, pe_checksum(out, optional + kCheckSumAt));
  return out;
}

uint32_t pe_checksum(const std::vector<uint8_t>& file, size_t checksum_offset) {
  auto byte = [&](size_t i) -> uint32_t {
    return i >= file.size() || (i >= checksum_offset && i < checksum_offset + 4) ? 0 : file[i];
  };
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    sum += byte(i) | byte(i + 1) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}

}  // namespace veldro
