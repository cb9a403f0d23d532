// Writes a payload's entries below a folder of the user's choosing, as the launcher writes
// them below its target directory, with the same checks on every name. Relies on
// payload_reader.h and base/. Portable (std::filesystem).
#pragma once

#include <stdint.h>

#include <string>

#include "pack/base/byte_source.h"
#include "pack/payload/payload_finder.h"

namespace veldro {

struct ExtractResult {
  size_t entries = 0;
  uint64_t bytes = 0;
};

// Creates out_dir (and its parents) unless it is an empty folder already, then writes every
// entry there, in stream order, and checks the stream to its end. Throws PackError: out_dir is
// a file or not empty, a name the launcher would refuse, a name given twice, a file or folder
// that cannot be created or written, and everything PayloadReader throws. Files written before
// a failure stay.
ExtractResult extract_payload(const ByteSource& file, const PayloadLocation& where,
                            const std::string& out_dir);

}  // namespace veldro
