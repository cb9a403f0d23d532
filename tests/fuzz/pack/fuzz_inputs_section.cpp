// Fuzz target: verify's check of an exe's build-inputs section, against format/'s reader of a
// section in memory (the launcher's). Input: a u32 LE virtual size (0: the raw size), a u32 LE
// payload length, then the section's file data. Whatever the check accepts, the launcher's
// reader accepts too when the section maps whole, and its payload field is the one named.
#include <stddef.h>
#include <stdint.h>

#include "format/build_inputs.h"
#include "format/byte_order.h"
#include "pack/base/byte_source.h"
#include "pack/base/pack_error.h"
#include "pack/image/inputs_section.h"

using namespace veldro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  SectionHeader section = {};
  section.virtual_size = static_cast<uint32_t>(load_le(data, 4));
  const uint64_t payload_length = load_le(data + 4, 4);
  MemorySource file(data + 8, size - 8);
  section.raw_size = static_cast<uint32_t>(size - 8);
  InputsSpan fields[kInputsFieldCount] = {};
  bool whole = section.virtual_size == 0 || section.virtual_size == section.raw_size;
  bool launcher_reads = whole && read_inputs_section(data + 8, size - 8, fields);
  uint64_t payload_offset = launcher_reads ? fields[kInputsPayload].offset : 0;
  try {
    check_inputs_section(file, section, payload_offset, payload_length);
  } catch (const PackError&) {
    return 0;
  }
  if (whole && !launcher_reads) __builtin_trap();  // accepted what the launcher refuses
  if (whole && fields[kInputsPayload].size != payload_length) __builtin_trap();
  return 0;
}
