// The build-inputs section (see build_inputs.h).
#include "format/build_inputs.h"

#include <string.h>

#include "format/byte_order.h"

const char* const kInputsSymbols[kInputsFieldCount] = {
    "veldro_payload", "veldro_dir_spec",     "veldro_company",         "veldro_product",
    "veldro_version", "veldro_file_version", "veldro_product_version",
};

bool read_inputs_header(const unsigned char* header, uint64_t section_size,
                        InputsSpan fields[kInputsFieldCount]) {
  if (section_size < kInputsHeaderBytes || memcmp(header, kInputsMagic, sizeof kInputsMagic) != 0 ||
      load_le(header + 8, 4) != kInputsLayoutVersion ||
      load_le(header + 12, 4) != kInputsFieldCount) {
    return false;
  }
  for (unsigned i = 0; i < kInputsFieldCount; ++i) {
    InputsSpan span = {load_le(header + 16 + 16 * i, 8), load_le(header + 24 + 16 * i, 8)};
    // Written so that no sum can wrap around.
    if (span.offset > section_size || span.size > section_size - span.offset) return false;
    fields[i] = span;
  }
  return true;
}

bool inputs_string_is_valid(InputsSpan span, const unsigned char* last_unit) {
  if (span.size == 0) return true;
  if (span.offset % 2 != 0 || span.size % 2 != 0) return false;
  return last_unit[0] == 0 && last_unit[1] == 0;
}

bool read_inputs_section(const unsigned char* section, uint64_t size,
                         InputsSpan fields[kInputsFieldCount]) {
  if (size < kInputsHeaderBytes || !read_inputs_header(section, size, fields)) return false;
  for (unsigned i = kInputsPayload + 1; i < kInputsFieldCount; ++i) {
    const InputsSpan& span = fields[i];
    const unsigned char* last = span.size >= 2 ? section + span.offset + span.size - 2 : nullptr;
    if (!inputs_string_is_valid(span, last)) return false;
  }
  return true;
}

uint64_t layout_inputs_section(const uint64_t sizes[kInputsFieldCount],
                               InputsSpan fields[kInputsFieldCount]) {
  uint64_t at = kInputsHeaderBytes;
  for (unsigned i = 0; i < kInputsFieldCount; ++i) {
    uint64_t alignment = i == kInputsPayload ? kInputsPayloadAlignment : 2;
    at = (at + alignment - 1) / alignment * alignment;
    fields[i] = {at, sizes[i]};
    at += sizes[i];
  }
  return at;
}

void write_inputs_header(unsigned char* header, const InputsSpan fields[kInputsFieldCount]) {
  memcpy(header, kInputsMagic, sizeof kInputsMagic);
  store_le(header + 8, kInputsLayoutVersion, 4);
  store_le(header + 12, kInputsFieldCount, 4);
  for (unsigned i = 0; i < kInputsFieldCount; ++i) {
    store_le(header + 16 + 16 * i, fields[i].offset, 8);
    store_le(header + 24 + 16 * i, fields[i].size, 8);
  }
}
