// Finds a payload inside a file without running or decoding it: in a built exe inside one
// section's file data (checking on the way that the file holds what the image's headers
// promise), in any other file (a payload file, an object) anywhere. Relies on format/, base/
// and image/pe_reader.h; zstd's frame header. Portable.
#pragma once

#include <stdint.h>

#include "pack/base/byte_source.h"

namespace veldro {

struct PayloadLocation {
  uint64_t offset = 0;       // where "KA" 'Y' starts in the file
  uint64_t length = 0;       // the whole payload, trailer included
  uint64_t frame_bytes = 0;  // the zstd frame alone
};

enum class Probe { kFound, kAbsent, kCutShort };

// Whether a payload starts at offset: the header, one zstd frame (walked block by block, each
// block header giving the block's size, not decoded), zero alignment and a trailer that
// matches. kCutShort: the file ends inside what would be a payload there.
Probe probe_payload(const ByteSource& file, uint64_t offset, PayloadLocation* where);

// The first payload in the file. Throws PackError: "'<name>' is cut short: ..." when the
// image's headers promise more bytes than the file has or the file ends inside the payload,
// "'<name>' holds no payload", or a payload that runs past the end of its section.
PayloadLocation find_payload(const ByteSource& file);

}  // namespace veldro
