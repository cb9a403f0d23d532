// Reading the build-inputs section's header (see build_inputs_section.h).
#include "launcher/build_inputs_section.h"

#include <string.h>

namespace {

uint64_t load_le(const unsigned char* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

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
