// Payload inspection (see inspect.h).
#include "pack/inspect.h"

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader
#include <zstd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "pack/app_tree.h"
#include "payload/format.h"

namespace veldro {
namespace {

uint64_t load_u64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

bool payload_at(const std::vector<uint8_t>& file, size_t offset, PayloadLocation* where) {
  const uint8_t* start = file.data() + offset;
  size_t available = file.size() - offset;
  if (available < kPayloadHeaderBytes + kPayloadTrailerBytes) return false;
  if (std::memcmp(start, kPayloadMagic, kPayloadHeaderBytes) != 0) return false;
  size_t frame = ZSTD_findFrameCompressedSize(start + kPayloadHeaderBytes,
                                              available - kPayloadHeaderBytes);
  if (ZSTD_isError(frame)) return false;
  size_t trailer = kPayloadHeaderBytes + frame;
  while (trailer % kPayloadAlignment != 0) {
    if (trailer >= available || start[trailer] != 0) return false;
    ++trailer;
  }
  if (trailer + kPayloadTrailerBytes > available || load_u64(start + trailer) != trailer) {
    return false;
  }
  *where = {offset, trailer + kPayloadTrailerBytes, frame};
  return true;
}

// The decoded entry stream, consumed front to back.
struct Cursor {
  const std::string& bytes;
  size_t pos = 0;
  void need(size_t n, const char* what) {
    if (bytes.size() - pos < n) throw std::runtime_error(std::string("truncated ") + what);
  }
};

}  // namespace

bool locate_payload(const std::vector<uint8_t>& file, PayloadLocation* where) {
  static const uint8_t kFrameMagic[4] = {0x28, 0xB5, 0x2F, 0xFD};
  for (size_t offset = 0; offset + 7 <= file.size(); ++offset) {
    const uint8_t* p = file.data() + offset;
    if (p[0] == 'K' && std::memcmp(p + 3, kFrameMagic, 4) == 0 && payload_at(file, offset, where)) {
      return true;
    }
  }
  return false;
}

std::vector<EntryInfo> read_entries(const uint8_t* payload, size_t length, bool keep_content,
                                    FrameInfo* frame) {
  if (length < kPayloadHeaderBytes || std::memcmp(payload, kPayloadMagic, 3) != 0) {
    throw std::runtime_error("no \"KA\" 'Y' header");
  }
  const uint8_t* src = payload + kPayloadHeaderBytes;
  size_t src_size = length - kPayloadHeaderBytes;
  ZSTD_frameHeader header;
  if (ZSTD_getFrameHeader(&header, src, src_size) != 0) throw std::runtime_error("no zstd frame");
  if (frame != nullptr) {
    *frame = {header.frameContentSize, header.windowSize, header.checksumFlag != 0};
  }

  // Decode the whole frame (the decoder checks the content checksum at the frame's end).
  std::string decoded;
  ZSTD_DCtx* context = ZSTD_createDCtx();
  ZSTD_inBuffer in = {src, src_size, 0};
  std::vector<char> window(ZSTD_DStreamOutSize());
  size_t result = 1;
  while (result != 0) {
    ZSTD_outBuffer out = {window.data(), window.size(), 0};
    result = ZSTD_decompressStream(context, &out, &in);
    if (ZSTD_isError(result)) {
      ZSTD_freeDCtx(context);
      throw std::runtime_error(std::string("corrupt frame: ") + ZSTD_getErrorName(result));
    }
    decoded.append(window.data(), out.pos);
    if (result != 0 && in.pos == in.size && out.pos < out.size) {
      ZSTD_freeDCtx(context);
      throw std::runtime_error("frame ends early");
    }
  }
  ZSTD_freeDCtx(context);

  std::vector<EntryInfo> entries;
  Cursor cursor{decoded};
  for (;;) {
    std::u16string name;
    for (;;) {
      cursor.need(2, "entry name");
      char16_t unit = static_cast<char16_t>(static_cast<uint8_t>(decoded[cursor.pos]) |
                                            static_cast<uint8_t>(decoded[cursor.pos + 1]) << 8);
      cursor.pos += 2;
      if (unit == 0) break;
      name.push_back(unit);
    }
    if (name.empty()) break;
    std::string problem = entry_name_problem(name);
    if (!problem.empty()) throw std::runtime_error("entry '" + utf8_from_utf16(name) + "' " + problem);
    cursor.need(8, "entry size");
    EntryInfo entry;
    entry.name = name;
    entry.size = load_u64(reinterpret_cast<const uint8_t*>(decoded.data()) + cursor.pos);
    cursor.pos += 8;
    cursor.need(entry.size, "entry content");
    if (keep_content) entry.content = decoded.substr(cursor.pos, entry.size);
    cursor.pos += entry.size;
    entries.push_back(std::move(entry));
  }
  if (cursor.pos != decoded.size()) throw std::runtime_error("bytes after the end marker");
  if (entries.empty()) throw std::runtime_error("no entry");
  return entries;
}

std::vector<uint8_t> read_file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read '" + path + "'");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace veldro
