// Fuzz target: any file as list, verify and extract read it. The PE reader with its look-ups
// (exports, imports, addresses, the file extent), the payload finder, verify's check of the
// build-inputs section and the entry listing, over arbitrary bytes. A refusal (PackError) is
// an answer; a crash, a sanitizer report or another exception is a fault.
#include <stddef.h>
#include <stdint.h>

#include "pack/base/byte_source.h"
#include "pack/base/pack_error.h"
#include "pack/image/inputs_section.h"
#include "pack/image/pe_reader.h"
#include "pack/payload/payload_finder.h"
#include "pack/payload/payload_reader.h"

using namespace veldro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemorySource file(data, size);
  PeImage image;
  if (read_pe_image(file, &image)) {
    exports_name(file, image, "run_code");
    imported_dlls(file, image);
    pe_file_extent(image);
    uint64_t offset;
    for (const DataDirectory& d : image.directories) rva_to_offset(image, d.rva, &offset);
  }
  try {
    PayloadLocation where = find_payload(file);
    if (where.offset + where.length > size) __builtin_trap();  // a payload the file does not hold
    check_image_inputs(file, where.offset, where.length);
    FrameInfo frame;
    list_entries(file, where, &frame);
  } catch (const PackError&) {
  }
  return 0;
}
