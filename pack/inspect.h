// Reads a payload back: finds it inside a built exe without running it (checking the exe's
// image on the way), and decodes its entry stream front to back in bounded memory, as the
// launcher does. Used by `veldro-pack list`, `verify` and `extract`, and by tests. Portable.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "pack/byte_source.h"

struct ZSTD_DCtx_s;

namespace veldro {

struct PayloadLocation {
  uint64_t offset = 0;       // where "KA" 'Y' starts in the file
  uint64_t length = 0;       // the whole payload, trailer included
  uint64_t frame_bytes = 0;  // the zstd frame alone
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

// Finds the payload: the header, one zstd frame (walked block by block, not decoded), zero
// alignment and a matching trailer in a row. In a PE image it looks inside the sections'
// file data only, after checking that the file holds everything the headers promise, and
// requires the payload to lie inside one section. In any other file (a payload file, an
// object) it looks everywhere. Throws PackError: "is cut short: ..." when the image or the
// payload ends past the end of the file, "holds no payload", or a payload that runs past its
// section.
PayloadLocation find_payload(const ByteSource& file);

// The decoder over a located payload. Throws PackError naming the file and the problem: a
// corrupt frame or checksum, a frame that ends early, an entry name that is unsafe or reaches
// 1024 UTF-16 units, bytes after the end marker.
class PayloadReader {
 public:
  PayloadReader(const ByteSource& file, const PayloadLocation& where);
  ~PayloadReader();
  PayloadReader(const PayloadReader&) = delete;
  PayloadReader& operator=(const PayloadReader&) = delete;

  const FrameInfo& frame() const { return frame_; }
  // Reads the next entry's name and size; false at the end marker. The caller then takes
  // exactly `size` bytes of content with read_content and skip_content.
  bool next_entry(std::u16string* name, uint64_t* size);
  void read_content(void* dst, size_t n);
  void skip_content(uint64_t n);
  // After the end marker: checks that the frame ends there and its checksum holds.
  void finish();
  // Throws PackError("'<file>': <problem>").
  [[noreturn]] void fail(const std::string& problem) const;

 private:
  void pull(void* dst, size_t n, const char* what);
  bool refill();

  const ByteSource& file_;
  uint64_t input_next_, input_end_;
  std::vector<uint8_t> input_;
  size_t input_pos_ = 0, input_size_ = 0;
  std::vector<uint8_t> window_;
  size_t window_pos_ = 0, window_size_ = 0;
  ZSTD_DCtx_s* decoder_;
  bool frame_ended_ = false;
  FrameInfo frame_;
};

// Every entry's name and size, in stream order, with the whole stream checked (throws as
// PayloadReader; also on a payload without any entry).
std::vector<EntryInfo> list_entries(const ByteSource& file, const PayloadLocation& where,
                                    FrameInfo* frame);

// The same over a payload in memory (header at bytes[0]), with the contents when asked for.
std::vector<EntryInfo> read_entries(const uint8_t* payload, size_t length, bool keep_content,
                                    FrameInfo* frame);

std::vector<uint8_t> read_file_bytes(const std::string& path);

}  // namespace veldro
