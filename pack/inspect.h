// Reads a payload back: finds it inside a built exe without running it, decodes the entry
// stream and checks the format. Used by `veldro-pack list` and `verify`, and by tests. Portable.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace veldro {

struct PayloadLocation {
  size_t offset = 0;       // where "KA" 'Y' starts in the file
  size_t length = 0;       // the whole payload, trailer included
  size_t frame_bytes = 0;  // the zstd frame alone
};

struct EntryInfo {
  std::u16string name;
  uint64_t size = 0;
  std::string content;  // filled only when asked for
};

struct FrameInfo {
  uint64_t content_size = 0;
  uint64_t window_size = 0;
  bool checksum = false;
};

// Finds the payload: at offset 0 of a payload file, or the first place in an exe where the
// header, one well-formed zstd frame, zero alignment and a matching trailer stand in a row.
// Returns false when there is none.
bool locate_payload(const std::vector<uint8_t>& file, PayloadLocation* where);

// Decodes the payload's frame and splits it into entries; throws std::runtime_error naming the
// first problem: a corrupt frame or checksum, a truncated entry, bytes after the end marker,
// an unsafe name, or a payload without any entry.
std::vector<EntryInfo> read_entries(const uint8_t* payload, size_t length, bool keep_content,
                                    FrameInfo* frame);

std::vector<uint8_t> read_file_bytes(const std::string& path);

}  // namespace veldro
