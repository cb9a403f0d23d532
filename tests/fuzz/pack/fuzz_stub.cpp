// Fuzz target: a stub as build reads it, and the exe built on every stub it accepts. The exe
// must read back as an image whose last section is the build-inputs section naming the payload,
// whose headers promise exactly its bytes and whose checksum holds: what the launcher and
// verify rely on.
#include <stddef.h>
#include <stdint.h>

#include "format/build_inputs.h"
#include "pack/base/byte_source.h"
#include "pack/base/pack_error.h"
#include "pack/image/exe_writer.h"
#include "pack/image/inputs_section.h"

using namespace veldro;

namespace {

const std::vector<uint8_t> kPayload = {'K', 'A', 'Y', 1, 2, 3, 4, 5};
const std::vector<uint8_t> kString = {'a', 0, 0, 0};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Stub stub;
  try {
    stub = read_stub(MemorySource(data, size));
  } catch (const PackError&) {
    return 0;
  }
  const InputsContents contents = {&kPayload, &kString, &kString, &kString,
                                   &kString,  &kString, &kString};
  std::vector<uint8_t> inputs = inputs_section(contents);
  std::vector<Resource> resources = {{kResourceManifest, 1, {'<', '/', '>'}}};
  std::vector<uint8_t> exe;
  try {
    exe = build_exe(stub, resources, inputs);
  } catch (const PackError&) {
    return 0;  // an image past 2 GiB
  }
  MemorySource built(exe);
  PeImage image;
  if (!read_pe_image(built, &image)) __builtin_trap();
  const SectionHeader* section = find_inputs_section(image);
  if (section != &image.sections.back() || pe_file_extent(image) != exe.size()) __builtin_trap();
  if (image.optional.start.checksum != pe_checksum(exe, checksum_offset(image))) __builtin_trap();
  InputsSpan fields[kInputsFieldCount];
  if (!read_inputs_section(&exe[section->raw_offset], section->virtual_size, fields)) __builtin_trap();
  try {
    check_inputs_section(built, *section, section->raw_offset + fields[kInputsPayload].offset, kPayload.size());
  } catch (const PackError&) {
    __builtin_trap();
  }
  return 0;
}
