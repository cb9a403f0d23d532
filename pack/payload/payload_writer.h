// Writes the attached payload (format/payload_layout.h): the entry stream of an application's
// files (format/entry_stream.h), compressed as one zstd frame, framed by the "KA" 'Y' header,
// zero alignment and the length trailer; and judges the names it may carry. Relies on format/
// and base/. Portable.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "format/payload_layout.h"

namespace veldro {

// One file of the application: its name in the payload (UTF-16, backslash separators) and
// where its bytes come from (a file on disk, or inline content when path is empty).
struct PackFile {
  std::u16string name;
  std::string path;
  std::string content;
};

struct FrameOptions {
  int level = 19;
  int threads = 0;      // 0: all cores
  int window_log = kDefaultWindowLog;  // decoder memory, kMinWindowLog to kMaxWindowLog
};

// Appends one entry's name (with its terminator) and size to an entry stream.
void append_entry_header(std::string& stream, const std::u16string& name, uint64_t size);

// Appends the end marker (an empty name) to an entry stream.
void append_end_marker(std::string& stream);

// Told how many of the entry stream's bytes have gone to the compressor so far, of how many;
// called after every entry header and every piece of content, lastly with done == total.
using ProgressReport = std::function<void(uint64_t done, uint64_t total)>;

// Compresses the files' entry stream into one frame with content size pledged and checksum
// on; file contents are streamed from disk. Throws PackError naming a file that cannot be read
// or changes while it is packed, and on a compressor failure.
std::vector<uint8_t> compress_entries(const std::vector<PackFile>& files,
                                      const FrameOptions& options,
                                      const ProgressReport& progress = nullptr);

// Compresses an entry stream held in memory (any bytes) into one frame.
std::vector<uint8_t> compress_stream(const std::string& stream, const FrameOptions& options);

// "KA", flag, the frame, zero bytes up to a multiple of 8, and the u64 trailer (length - 8).
std::vector<uint8_t> wrap_payload(const std::vector<uint8_t>& frame, unsigned char flag = 'Y');

// Why a payload entry name would be refused ("reaches 1024 UTF-16 units", or what
// format/entry_name.h refuses), or empty when it is fine.
std::string entry_name_problem(const std::u16string& name);

}  // namespace veldro
