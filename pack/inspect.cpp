// Payload inspection (see inspect.h).
#include "pack/inspect.h"

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader, ZSTD_BLOCKSIZE_MAX
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "pack/app_tree.h"
#include "pack/byte_order.h"
#include "pack/pe_image.h"
#include "format/payload_layout.h"

namespace veldro {
namespace {

constexpr uint8_t kFrameMagic[4] = {0x28, 0xB5, 0x2F, 0xFD};
constexpr size_t kSignatureBytes = kPayloadHeaderBytes + sizeof kFrameMagic;
constexpr size_t kScanChunkBytes = 1 << 20;
constexpr size_t kInputChunkBytes = 1 << 17;

enum class Probe { kFound, kAbsent, kCutShort };

// Whether a payload starts at `offset`: the frame is walked block by block (a block header
// gives the block's size), so that finding it costs a few reads per 128 KiB block.
Probe probe_payload(const ByteSource& file, uint64_t offset, PayloadLocation* where) {
  uint64_t size = file.size();
  uint8_t head[ZSTD_FRAMEHEADERSIZE_MAX];
  uint64_t frame_at = offset + kPayloadHeaderBytes;
  if (frame_at > size) return Probe::kCutShort;
  size_t available = static_cast<size_t>(std::min<uint64_t>(sizeof head, size - frame_at));
  ZSTD_frameHeader header;
  if (!file.read(frame_at, head, available)) return Probe::kAbsent;
  size_t result = ZSTD_getFrameHeader(&header, head, available);
  if (ZSTD_isError(result) || (result == 0 && header.frameType != ZSTD_frame)) return Probe::kAbsent;
  if (result > 0) return Probe::kCutShort;

  uint64_t pos = frame_at + header.headerSize;
  for (;;) {
    uint8_t b[3];
    if (pos + 3 > size) return Probe::kCutShort;
    if (!file.read(pos, b, 3)) return Probe::kAbsent;
    uint32_t block = b[0] | b[1] << 8 | b[2] << 16;
    uint32_t type = (block >> 1) & 3, block_size = block >> 3;
    if (type == 3 || block_size > ZSTD_BLOCKSIZE_MAX) return Probe::kAbsent;
    pos += 3 + (type == 1 ? 1 : block_size);  // an RLE block stores its byte once
    if (block & 1) break;
  }
  if (header.checksumFlag) pos += 4;
  uint64_t trailer = offset + (pos - offset + kPayloadAlignment - 1) / kPayloadAlignment * kPayloadAlignment;
  if (trailer + kPayloadTrailerBytes > size) return Probe::kCutShort;
  uint8_t tail[kPayloadAlignment + kPayloadTrailerBytes];
  size_t tail_bytes = static_cast<size_t>(trailer + kPayloadTrailerBytes - pos);
  if (!file.read(pos, tail, tail_bytes)) return Probe::kAbsent;
  for (size_t i = 0; i + kPayloadTrailerBytes < tail_bytes; ++i) {
    if (tail[i] != 0) return Probe::kAbsent;
  }
  if (load_le(tail + tail_bytes - kPayloadTrailerBytes, 8) != trailer - offset) return Probe::kAbsent;
  *where = {offset, trailer + kPayloadTrailerBytes - offset, pos - frame_at};
  return Probe::kFound;
}

// The first payload that starts in [begin, end), read in chunks; `cut_short` is set when a
// payload's signature ("KA" 'Y' and the frame magic) stands there but the file ends inside it.
bool scan_for_payload(const ByteSource& file, uint64_t begin, uint64_t end, PayloadLocation* where,
                      bool* cut_short) {
  std::vector<uint8_t> chunk(kScanChunkBytes + kSignatureBytes);
  for (uint64_t at = begin; at < end; at += kScanChunkBytes) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), file.size() - at));
    if (!file.read(at, chunk.data(), n)) return false;
    size_t starts = static_cast<size_t>(std::min<uint64_t>(kScanChunkBytes, end - at));
    for (size_t i = 0; i < starts; ++i) {
      const uint8_t* p = static_cast<const uint8_t*>(std::memchr(&chunk[i], 'K', starts - i));
      if (p == nullptr) break;
      i = static_cast<size_t>(p - chunk.data());
      if (i + kSignatureBytes > n || std::memcmp(p, kPayloadMagic, kPayloadHeaderBytes) != 0 ||
          std::memcmp(p + kPayloadHeaderBytes, kFrameMagic, sizeof kFrameMagic) != 0) {
        continue;
      }
      Probe probe = probe_payload(file, at + i, where);
      if (probe == Probe::kFound) return true;
      if (probe == Probe::kCutShort) *cut_short = true;
    }
  }
  return false;
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

std::string unit_problem(const std::u16string& name) {
  std::string problem = entry_name_problem(name);
  return problem.empty() ? problem : "entry '" + utf8_from_utf16(name) + "' " + problem;
}

}  // namespace

PayloadLocation find_payload(const ByteSource& file) {
  const std::string path = file.name();
  PayloadLocation where;
  bool cut_short = false;
  PeImage image;
  if (read_pe_image(file, &image)) {
    uint64_t extent = pe_file_extent(image);
    if (extent > file.size()) {
      throw PackError(quoted(path) + " is cut short: its headers promise " + std::to_string(extent) +
                      " bytes, the file has " + std::to_string(file.size()));
    }
    for (const PeSection& s : image.sections) {
      // What the loader maps of the section's file data.
      uint64_t mapped = s.virtual_size ? std::min(s.virtual_size, s.raw_size) : s.raw_size;
      uint64_t begin = s.raw_offset, end = begin + mapped;
      if (!scan_for_payload(file, begin, end, &where, &cut_short)) continue;
      if (where.offset + where.length > end) {
        throw PackError(quoted(path) + ": the payload at offset " + std::to_string(where.offset) +
                        " runs past the end of its section");
      }
      return where;
    }
  } else if (scan_for_payload(file, 0, file.size(), &where, &cut_short)) {
    return where;
  }
  if (cut_short) throw PackError(quoted(path) + " is cut short: the file ends inside the payload");
  throw PackError(quoted(path) + " holds no payload");
}

// --- the decoder -----------------------------------------------------------------------------

PayloadReader::PayloadReader(const ByteSource& file, const PayloadLocation& where)
    : file_(file),
      input_next_(where.offset + kPayloadHeaderBytes),
      input_end_(where.offset + kPayloadHeaderBytes + where.frame_bytes),
      input_(kInputChunkBytes),
      window_(kWindowBytes),
      decoder_(ZSTD_createDCtx()) {
  if (decoder_ == nullptr) throw PackError("cannot create a decompression context");
  uint8_t head[ZSTD_FRAMEHEADERSIZE_MAX];
  size_t available = static_cast<size_t>(std::min<uint64_t>(sizeof head, where.frame_bytes));
  ZSTD_frameHeader header;
  if (file.read(input_next_, head, available) &&
      ZSTD_getFrameHeader(&header, head, available) == 0) {
    frame_ = {header.frameContentSize, header.windowSize, header.checksumFlag != 0};
  }
}

PayloadReader::~PayloadReader() { ZSTD_freeDCtx(decoder_); }

void PayloadReader::fail(const std::string& problem) const {
  throw PackError(quoted(file_.name()) + ": " + problem);
}

// Decodes into the emptied window; false when the frame has ended without more bytes.
bool PayloadReader::refill() {
  while (!frame_ended_) {
    if (input_pos_ == input_size_) {
      if (input_next_ == input_end_) fail("the frame ends early");
      input_size_ = static_cast<size_t>(std::min<uint64_t>(input_.size(), input_end_ - input_next_));
      if (!file_.read(input_next_, input_.data(), input_size_)) fail("cannot read the payload");
      input_next_ += input_size_;
      input_pos_ = 0;
    }
    ZSTD_inBuffer in = {input_.data(), input_size_, input_pos_};
    ZSTD_outBuffer out = {window_.data(), window_.size(), 0};
    size_t result = ZSTD_decompressStream(decoder_, &out, &in);
    if (ZSTD_isError(result)) fail(std::string("corrupt frame: ") + ZSTD_getErrorName(result));
    input_pos_ = in.pos;
    frame_ended_ = result == 0;
    window_pos_ = 0;
    window_size_ = out.pos;
    if (window_size_ > 0) return true;
  }
  return false;
}

void PayloadReader::pull(void* dst, size_t n, const char* what) {
  uint8_t* to = static_cast<uint8_t*>(dst);
  while (n > 0) {
    if (window_pos_ == window_size_ && !refill()) fail(std::string("truncated ") + what);
    size_t step = std::min(n, window_size_ - window_pos_);
    if (to != nullptr) {
      std::memcpy(to, &window_[window_pos_], step);
      to += step;
    }
    window_pos_ += step;
    n -= step;
  }
}

bool PayloadReader::next_entry(std::u16string* name, uint64_t* size) {
  name->clear();
  for (;;) {
    uint8_t unit[2];
    pull(unit, 2, "entry name");
    char16_t c = static_cast<char16_t>(unit[0] | unit[1] << 8);
    if (c == 0) break;
    name->push_back(c);
    if (name->size() >= kEntryNameUnits) {
      fail("an entry name reaches " + std::to_string(kEntryNameUnits) + " UTF-16 units");
    }
  }
  if (name->empty()) return false;
  std::string problem = unit_problem(*name);
  if (!problem.empty()) fail(problem);
  uint8_t bytes[8];
  pull(bytes, 8, "entry size");
  *size = load_le(bytes, 8);
  return true;
}

void PayloadReader::read_content(void* dst, size_t n) { pull(dst, n, "entry content"); }

void PayloadReader::skip_content(uint64_t n) {
  while (n > 0) {
    size_t step = static_cast<size_t>(std::min<uint64_t>(n, kWindowBytes));
    pull(nullptr, step, "entry content");
    n -= step;
  }
}

void PayloadReader::finish() {
  if (window_pos_ != window_size_ || refill()) fail("bytes after the end marker");
}

namespace {

// Every entry, up to the end marker and the frame's end.
std::vector<EntryInfo> collect_entries(PayloadReader& reader, bool keep_content, FrameInfo* frame) {
  std::vector<EntryInfo> entries;
  EntryInfo entry;
  while (reader.next_entry(&entry.name, &entry.size)) {
    entry.content.resize(keep_content ? entry.size : 0);
    if (keep_content) {
      reader.read_content(&entry.content[0], entry.content.size());
    } else {
      reader.skip_content(entry.size);
    }
    entries.push_back(entry);
  }
  reader.finish();
  if (entries.empty()) reader.fail("no entry");
  if (frame != nullptr) *frame = reader.frame();
  return entries;
}

}  // namespace

std::vector<EntryInfo> list_entries(const ByteSource& file, const PayloadLocation& where,
                                    FrameInfo* frame) {
  PayloadReader reader(file, where);
  return collect_entries(reader, false, frame);
}

std::vector<EntryInfo> read_entries(const uint8_t* payload, size_t length, bool keep_content,
                                    FrameInfo* frame) {
  MemorySource source(payload, length);
  PayloadLocation where;
  if (length < kPayloadHeaderBytes || std::memcmp(payload, kPayloadMagic, kPayloadHeaderBytes) != 0) {
    throw PackError("no \"KA\" 'Y' header");
  }
  if (probe_payload(source, 0, &where) != Probe::kFound) throw PackError("no well-formed payload");
  PayloadReader reader(source, where);
  return collect_entries(reader, keep_content, frame);
}

std::vector<uint8_t> read_file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("cannot read '" + path + "'");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace veldro
