// The build-inputs section (see inputs_section.h).
#include "pack/image/inputs_section.h"

#include <algorithm>
#include <string>

#include "pack/base/pack_error.h"

namespace veldro {

std::vector<uint8_t> inputs_section(const InputsContents& contents) {
  uint64_t sizes[kInputsFieldCount];
  for (size_t i = 0; i < kInputsFieldCount; ++i) sizes[i] = contents[i]->size();
  InputsSpan fields[kInputsFieldCount];
  std::vector<uint8_t> out(layout_inputs_section(sizes, fields), 0);
  write_inputs_header(out.data(), fields);
  for (size_t i = 0; i < kInputsFieldCount; ++i) {
    std::copy(contents[i]->begin(), contents[i]->end(), out.begin() + fields[i].offset);
  }
  return out;
}

const SectionHeader* find_inputs_section(const PeImage& image) {
  for (const SectionHeader& s : image.sections) {
    if (section_name(s) == kInputsSectionName) return &s;
  }
  return nullptr;
}

void check_inputs_section(const ByteSource& file, const SectionHeader& section,
                          uint64_t payload_offset, uint64_t payload_length) {
  // Only the header and the strings' last units are read.
  const uint64_t size = section.virtual_size ? section.virtual_size : section.raw_size;
  auto read = [&](uint64_t offset, void* dst, size_t n) {
    if (offset + n > section.raw_size || !file.read(section.raw_offset + offset, dst, n)) {
      throw PackError("'" + file.name() + "': its build-inputs section is cut short");
    }
  };
  auto malformed = [&]() {
    throw PackError("'" + file.name() + "': its build-inputs section is malformed");
  };
  uint8_t header[kInputsHeaderBytes];
  InputsSpan fields[kInputsFieldCount];
  if (size < kInputsHeaderBytes) malformed();
  read(0, header, sizeof header);
  if (!read_inputs_header(header, size, fields)) malformed();
  for (unsigned i = kInputsPayload + 1; i < kInputsFieldCount; ++i) {
    uint8_t last[2] = {1, 1};
    if (fields[i].size >= 2) read(fields[i].offset + fields[i].size - 2, last, 2);
    if (!inputs_string_is_valid(fields[i], last)) malformed();
  }
  const InputsSpan& payload = fields[kInputsPayload];
  if (payload.size != payload_length || section.raw_offset + payload.offset != payload_offset) {
    throw PackError("'" + file.name() + "': its build-inputs section does not name the payload "
                    "at offset " + std::to_string(payload_offset));
  }
}

void check_image_inputs(const ByteSource& file, uint64_t payload_offset, uint64_t payload_length) {
  PeImage image;
  if (!read_pe_image(file, &image)) return;
  const SectionHeader* section = find_inputs_section(image);
  if (section != nullptr) check_inputs_section(file, *section, payload_offset, payload_length);
}

}  // namespace veldro
