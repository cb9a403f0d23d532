// The build-inputs section (see inputs_section.h).
#include "pack/inputs_section.h"

#include "format/build_inputs.h"
#include "pack/app_tree.h"
#include "pack/byte_order.h"

namespace veldro {
namespace {

// The payload field's boundary within the section.
constexpr size_t kPayloadFieldAlignment = 16;

}  // namespace

std::vector<uint8_t> inputs_section(const std::vector<uint8_t>& payload,
                                    const LauncherStrings& strings) {
  // In field order: the payload, then the template and the product strings.
  const std::vector<uint8_t> texts[] = {
      utf16_bytes(strings.dir_spec),     utf16_bytes(strings.company),
      utf16_bytes(strings.product),      utf16_bytes(strings.version()),
      utf16_bytes(strings.file_version), utf16_bytes(strings.product_version),
  };
  const std::vector<uint8_t>* contents[kInputsFieldCount] = {&payload};
  for (size_t i = 1; i < kInputsFieldCount; ++i) contents[i] = &texts[i - 1];

  std::vector<uint8_t> out(kInputsHeaderBytes, 0);
  out.reserve(kInputsHeaderBytes + kPayloadFieldAlignment + payload.size() + 1024);
  std::copy(kInputsMagic, kInputsMagic + sizeof kInputsMagic, out.begin());
  store_le(out, 8, kInputsLayoutVersion, 4);
  store_le(out, 12, kInputsFieldCount, 4);
  for (size_t i = 0; i < kInputsFieldCount; ++i) {
    size_t alignment = i == kInputsPayload ? kPayloadFieldAlignment : 2;
    out.resize((out.size() + alignment - 1) / alignment * alignment, 0);
    store_le(out, 16 + 16 * i, out.size(), 8);
    store_le(out, 24 + 16 * i, contents[i]->size(), 8);
    out.insert(out.end(), contents[i]->begin(), contents[i]->end());
  }
  return out;
}

const PeSection* find_inputs_section(const PeImage& image) {
  for (const PeSection& s : image.sections) {
    if (s.name == kInputsSectionName) return &s;
  }
  return nullptr;
}

void check_inputs_section(const ByteSource& file, const PeSection& section,
                          const PayloadLocation& where) {
  // What the launcher sees of the section: its virtual size, of which the file holds the raw
  // size (the rest maps as zeros). Only the header and the strings' last units are read.
  uint64_t size = section.virtual_size ? section.virtual_size : section.raw_size;
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
  if (payload.size != where.length || section.raw_offset + payload.offset != where.offset) {
    throw PackError("'" + file.name() + "': its build-inputs section does not name the payload "
                    "at offset " + std::to_string(where.offset));
  }
}

}  // namespace veldro
