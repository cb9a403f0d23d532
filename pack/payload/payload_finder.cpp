// Finding a payload (see payload_finder.h).
#include "pack/payload/payload_finder.h"

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader, ZSTD_BLOCKSIZE_MAX
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "format/byte_order.h"
#include "format/payload_layout.h"
#include "pack/base/pack_error.h"
#include "pack/image/pe_reader.h"

namespace veldro {
namespace {

constexpr uint8_t kFrameMagic[4] = {0x28, 0xB5, 0x2F, 0xFD};
constexpr size_t kSignatureBytes = kPayloadHeaderBytes + sizeof kFrameMagic;
constexpr size_t kScanChunkBytes = 1 << 20;
constexpr size_t kBlockHeaderBytes = 3;
constexpr uint32_t kBlockRle = 1, kBlockReserved = 3;

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

}  // namespace

Probe probe_payload(const ByteSource& file, uint64_t offset, PayloadLocation* where) {
  const uint64_t size = file.size();
  uint8_t head[ZSTD_FRAMEHEADERSIZE_MAX];
  const uint64_t frame_at = offset + kPayloadHeaderBytes;
  if (frame_at > size) return Probe::kCutShort;
  size_t available = static_cast<size_t>(std::min<uint64_t>(sizeof head, size - frame_at));
  ZSTD_frameHeader header;
  if (!file.read(frame_at, head, available)) return Probe::kAbsent;
  size_t result = ZSTD_getFrameHeader(&header, head, available);
  if (ZSTD_isError(result) || (result == 0 && header.frameType != ZSTD_frame)) return Probe::kAbsent;
  if (result > 0) return Probe::kCutShort;

  uint64_t pos = frame_at + header.headerSize;
  for (;;) {
    uint8_t bytes[kBlockHeaderBytes];
    if (pos + kBlockHeaderBytes > size) return Probe::kCutShort;
    if (!file.read(pos, bytes, kBlockHeaderBytes)) return Probe::kAbsent;
    const uint32_t block = static_cast<uint32_t>(load_le(bytes, kBlockHeaderBytes));
    const uint32_t type = (block >> 1) & 3, block_size = block >> 3;
    if (type == kBlockReserved || block_size > ZSTD_BLOCKSIZE_MAX) return Probe::kAbsent;
    pos += kBlockHeaderBytes + (type == kBlockRle ? 1 : block_size);  // RLE stores its byte once
    if (block & 1) break;  // the last block
  }
  if (header.checksumFlag) pos += 4;
  const uint64_t trailer =
      offset + (pos - offset + kPayloadAlignment - 1) / kPayloadAlignment * kPayloadAlignment;
  if (trailer + kPayloadTrailerBytes > size) return Probe::kCutShort;
  uint8_t tail[kPayloadAlignment + kPayloadTrailerBytes];
  const size_t tail_bytes = static_cast<size_t>(trailer + kPayloadTrailerBytes - pos);
  if (!file.read(pos, tail, tail_bytes)) return Probe::kAbsent;
  for (size_t i = 0; i + kPayloadTrailerBytes < tail_bytes; ++i) {
    if (tail[i] != 0) return Probe::kAbsent;
  }
  if (load_le(tail + tail_bytes - kPayloadTrailerBytes, kPayloadTrailerBytes) != trailer - offset) {
    return Probe::kAbsent;
  }
  *where = {offset, trailer + kPayloadTrailerBytes - offset, pos - frame_at};
  return Probe::kFound;
}

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
    for (const SectionHeader& s : image.sections) {
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

}  // namespace veldro
