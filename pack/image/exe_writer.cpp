// Building an exe on a stub (see exe_writer.h). The model is changed first (sections, sizes,
// directories), then serialized into one buffer in file order: the DOS header and stub, the
// headers, the section table, every section's contents; the checksum last, over that buffer.
#include "pack/image/exe_writer.h"

#include <string.h>

#include <algorithm>
#include <cstddef>

#include "format/build_inputs.h"
#include "format/byte_order.h"
#include "pack/base/pack_error.h"
#include "pack/image/inputs_section.h"

namespace veldro {
namespace {

constexpr uint32_t kNewSectionFlags = kSectionInitializedData | kSectionReadable;
constexpr uint64_t kMaxImageSize = 0x7FFFFFFF;
constexpr uint32_t kMaxFileAlignment = 0x10000;  // the format's limit; the exe's padding follows it

uint64_t align_up(uint64_t v, uint64_t alignment) { return (v + alignment - 1) / alignment * alignment; }

bool is_power_of_two(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

SectionHeader new_section(const char* name, uint64_t virtual_address, uint64_t virtual_size,
                          uint64_t raw_offset, uint64_t raw_size) {
  SectionHeader s = {};
  strncpy(s.name, name, sizeof s.name);
  s.virtual_address = static_cast<uint32_t>(virtual_address);
  s.virtual_size = static_cast<uint32_t>(virtual_size);
  s.raw_offset = static_cast<uint32_t>(raw_offset);
  s.raw_size = static_cast<uint32_t>(raw_size);
  s.characteristics = kNewSectionFlags;
  return s;
}

// Where a piece of the file goes: its offset and its bytes.
struct Piece {
  uint64_t offset;
  const uint8_t* bytes;
  size_t size;
};

// The model in file order: the DOS part, the headers, the section table, then each section's
// file data (a piece per section, raw_size bytes or fewer, the rest zeros), in a buffer of
// file_size bytes that every piece lies inside.
std::vector<uint8_t> serialize(const PeImage& image, const std::vector<uint8_t>& dos_part,
                               const std::vector<Piece>& sections, uint64_t file_size) {
  std::vector<uint8_t> headers(dos_part);
  headers.insert(headers.end(), kPeSignature, kPeSignature + sizeof kPeSignature);
  append_record(headers, image.file);
  append_record(headers, image.optional);
  for (const DataDirectory& d : image.directories) append_record(headers, d);
  headers.resize(image.section_table_offset(), 0);
  for (const SectionHeader& s : image.sections) append_record(headers, s);

  std::vector<uint8_t> out(file_size, 0);
  std::copy(headers.begin(), headers.end(), out.begin());
  for (const Piece& piece : sections) std::copy(piece.bytes, piece.bytes + piece.size, out.begin() + piece.offset);
  return out;
}

// True when every section but the last has its file data in [begin, end): after the headers,
// which the exe writes anew, and before the placeholder, where the exe's own sections go.
bool data_lies_between(const PeImage& image, uint64_t begin, uint64_t end) {
  for (size_t i = 0; i + 1 < image.sections.size(); ++i) {
    const SectionHeader& s = image.sections[i];
    if (s.raw_size > 0 && (s.raw_offset < begin || uint64_t{s.raw_offset} + s.raw_size > end)) return false;
  }
  return true;
}

}  // namespace

Stub read_stub(const ByteSource& file) {
  const std::string path = file.name();
  auto refuse = [&](const std::string& why) -> void { throw PackError("stub '" + path + "' " + why); };
  Stub stub;
  stub.path = path;
  PeImage& image = stub.image;
  if (!read_pe_image(file, &image) || !image.is_x64() || image.is_dll() ||
      (image.optional.start.subsystem != kSubsystemGui &&
       image.optional.start.subsystem != kSubsystemConsole) ||
      !is_power_of_two(image.optional.start.file_alignment) ||
      image.optional.start.file_alignment > kMaxFileAlignment ||
      !is_power_of_two(image.optional.start.section_alignment) ||
      image.optional.start.section_alignment < image.optional.start.file_alignment ||
      image.directories.size() <= kCertificateDirectory) {
    refuse("is not a 64-bit Windows program, so no launcher stub");
  }
  uint64_t extent = pe_file_extent(image);
  if (extent > file.size()) {
    refuse("is cut short: its headers promise " + std::to_string(extent) + " bytes, the file has " +
           std::to_string(file.size()));
  }
  const SectionHeader* inputs = find_inputs_section(image);
  if (inputs == nullptr || inputs != &image.sections.back() || inputs->raw_size < kInputsHeaderBytes) {
    refuse("has no payload section (.veldro) at the end of its image, so it is no launcher stub");
  }
  if (!data_lies_between(image, image.optional.start.headers_size, inputs->raw_offset)) {
    refuse("has section data that overlaps its headers or its payload section (.veldro), so it is "
           "no launcher stub");
  }
  uint8_t header[kInputsHeaderBytes];
  InputsSpan fields[kInputsFieldCount];
  if (!file.read(inputs->raw_offset, header, sizeof header) ||
      !read_inputs_header(header, inputs->raw_size, fields)) {
    refuse("has a payload section (.veldro) of another layout than this packer writes");
  }
  if (image.directory(kResourceDirectory).rva != 0) {
    refuse("already carries resources: it is a built exe, not a stub");
  }
  // The new resource section takes the placeholder's header; the section table needs room
  // for one header more (and the loader takes at most kMaxSections), and the placeholder's data
  // starts after the headers.
  if (image.section_table_offset() + kSectionHeaderBytes * (image.sections.size() + 1) >
          image.optional.start.headers_size ||
      inputs->raw_offset < image.optional.start.headers_size ||
      image.sections.size() + 1 > kMaxSections) {
    refuse("has no room in its headers for one more section");
  }
  stub.bytes.resize(inputs->raw_offset);
  if (!file.read(0, stub.bytes.data(), stub.bytes.size())) throw PackError("cannot read '" + path + "'");
  stub.console = image.optional.start.subsystem == kSubsystemConsole;
  return stub;
}

Stub read_stub_file(const std::string& path) { return read_stub(FileSource(path, "a launcher stub")); }

std::vector<uint8_t> build_exe(const Stub& stub, const std::vector<Resource>& resources,
                               const std::vector<uint8_t>& inputs) {
  PeImage image = stub.image;
  const SectionHeader placeholder = image.sections.back();
  const uint64_t file_alignment = image.optional.start.file_alignment;
  const uint64_t section_alignment = image.optional.start.section_alignment;

  // Layout: the resource section where the placeholder was, the build-inputs section after it.
  std::vector<uint8_t> rsrc_bytes = resource_section(resources, placeholder.virtual_address);
  SectionHeader rsrc = new_section(".rsrc", placeholder.virtual_address, rsrc_bytes.size(),
                                   placeholder.raw_offset, align_up(rsrc_bytes.size(), file_alignment));
  uint64_t inputs_address = align_up(uint64_t{rsrc.virtual_address} + rsrc.virtual_size, section_alignment);
  uint64_t image_size = align_up(inputs_address + inputs.size(), section_alignment);
  if (image_size > kMaxImageSize) throw PackError("the payload is too large for an exe image (2 GiB)");
  SectionHeader veldro = new_section(kInputsSectionName, inputs_address, inputs.size(),
                                     uint64_t{rsrc.raw_offset} + rsrc.raw_size,
                                     align_up(inputs.size(), file_alignment));
  const uint64_t file_size = uint64_t{veldro.raw_offset} + veldro.raw_size;

  // The model changed to match.
  image.sections.back() = rsrc;
  image.sections.push_back(veldro);
  image.file.section_count = static_cast<uint16_t>(image.sections.size());
  OptionalHeaderStart& optional = image.optional.start;
  optional.initialized_data_size += rsrc.raw_size + veldro.raw_size - placeholder.raw_size;
  optional.image_size = static_cast<uint32_t>(image_size);
  optional.checksum = 0;
  image.directories[kResourceDirectory] = {rsrc.virtual_address, rsrc.virtual_size};
  image.directories[kCertificateDirectory] = {0, 0};

  // The stub's own sections hold what the stub's file holds of them before the placeholder.
  std::vector<Piece> pieces;
  for (size_t i = 0; i + 2 < image.sections.size(); ++i) {
    const SectionHeader& s = image.sections[i];
    if (s.raw_size == 0 || s.raw_offset >= stub.bytes.size()) continue;
    pieces.push_back({s.raw_offset, stub.bytes.data() + s.raw_offset,
                      std::min<size_t>(s.raw_size, stub.bytes.size() - s.raw_offset)});
  }
  pieces.push_back({rsrc.raw_offset, rsrc_bytes.data(), rsrc_bytes.size()});
  pieces.push_back({veldro.raw_offset, inputs.data(), inputs.size()});
  std::vector<uint8_t> dos_part(stub.bytes.begin(), stub.bytes.begin() + image.pe_offset);
  std::vector<uint8_t> out = serialize(image, dos_part, pieces, file_size);

  optional.checksum = pe_checksum(out, checksum_offset(image));
  store_record(out, image.optional_header_offset(), image.optional);
  return out;
}

uint64_t checksum_offset(const PeImage& image) {
  return image.optional_header_offset() + offsetof(OptionalHeaderStart, checksum);
}

uint32_t pe_checksum(const std::vector<uint8_t>& file, size_t checksum_offset) {
  auto byte = [&](size_t i) -> uint8_t {
    return i >= file.size() || (i >= checksum_offset && i < checksum_offset + 4) ? 0 : file[i];
  };
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    const uint8_t word[2] = {byte(i), byte(i + 1)};
    sum += load_le(word, 2);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}

}  // namespace veldro
