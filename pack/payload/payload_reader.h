// Reads a located payload front to back in bounded memory, as the launcher does: the frame
// through format/payload_decoder.h, names and sizes through format/entry_stream.h's parser, so
// that the packer accepts and refuses exactly the streams the launcher does. Used by list,
// verify and extract. Relies on format/, base/ and payload_finder.h. Portable.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "format/payload_decoder.h"
#include "pack/base/byte_source.h"
#include "pack/payload/payload_finder.h"

namespace veldro {

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

// The decoder over a located payload; it owns the decoder's memory. Every read throws
// PackError "'<file>': <problem>": a corrupt frame or checksum, a frame that ends early, an
// entry name that is unsafe or reaches 1024 UTF-16 units, a stream that ends inside an entry,
// bytes after the end marker, a file that cannot be read.
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
  static size_t next_input(void* context, const void** bytes);
  static void read_stream(void* context, void* dst, size_t n);
  void pull(void* dst, size_t n, const char* what);

  const ByteSource& file_;
  uint64_t input_next_, input_end_;
  std::vector<uint8_t> input_;
  PayloadDecoder decoder_;
  const char* reading_ = "";  // what read_stream is reading, for its failure
  FrameInfo frame_;
};

// Every entry's name and size, in stream order, with the whole stream checked (throws as
// PayloadReader; also "no entry" on a payload without any).
std::vector<EntryInfo> list_entries(const ByteSource& file, const PayloadLocation& where,
                                    FrameInfo* frame);

// The same over a payload in memory (its header at bytes[0]), with the contents when asked
// for. Throws PackError also when the bytes are no well-formed payload.
std::vector<EntryInfo> read_entries(const uint8_t* payload, size_t length, bool keep_content,
                                    FrameInfo* frame);

}  // namespace veldro
