// Payload writer (see payload_writer.h).
#include "pack/payload/payload_writer.h"

#include <zstd.h>

#include <fstream>
#include <thread>

#include "format/byte_order.h"
#include "format/entry_name.h"
#include "format/entry_stream.h"
#include "pack/base/pack_error.h"

namespace veldro {
namespace {

uint64_t file_size(const PackFile& file) {
  if (file.path.empty()) return file.content.size();
  std::ifstream in(file.path, std::ios::binary | std::ios::ate);
  if (!in) throw PackError("cannot read '" + file.path + "'");
  return static_cast<uint64_t>(in.tellg());
}

// One frame, fed piece by piece: a thin owner of a compression context.
class FrameEncoder {
 public:
  FrameEncoder(uint64_t total, const FrameOptions& options) : context_(ZSTD_createCCtx()) {
    if (context_ == nullptr) throw PackError("cannot create a compression context");
    int threads = options.threads > 0 ? options.threads
                                      : static_cast<int>(std::thread::hardware_concurrency());
    check(ZSTD_CCtx_setParameter(context_, ZSTD_c_compressionLevel, options.level));
    check(ZSTD_CCtx_setParameter(context_, ZSTD_c_windowLog, options.window_log));
    check(ZSTD_CCtx_setParameter(context_, ZSTD_c_checksumFlag, 1));
    check(ZSTD_CCtx_setParameter(context_, ZSTD_c_contentSizeFlag, 1));
    // Multithreading is optional in a zstd build: fall back to one thread without it.
    if (threads > 1) ZSTD_CCtx_setParameter(context_, ZSTD_c_nbWorkers, threads);
    check(ZSTD_CCtx_setPledgedSrcSize(context_, total));
    buffer_.resize(ZSTD_CStreamOutSize());
  }
  ~FrameEncoder() { ZSTD_freeCCtx(context_); }
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;

  void feed(const void* data, size_t size) { run(data, size, ZSTD_e_continue); }
  std::vector<uint8_t> finish() {
    run(nullptr, 0, ZSTD_e_end);
    return std::move(frame_);
  }

 private:
  static void check(size_t result) {
    if (ZSTD_isError(result)) throw PackError(ZSTD_getErrorName(result));
  }
  void run(const void* data, size_t size, ZSTD_EndDirective mode) {
    ZSTD_inBuffer in = {data, size, 0};
    for (;;) {
      ZSTD_outBuffer out = {buffer_.data(), buffer_.size(), 0};
      size_t remaining = ZSTD_compressStream2(context_, &out, &in, mode);
      check(remaining);
      frame_.insert(frame_.end(), buffer_.begin(), buffer_.begin() + out.pos);
      bool done = mode == ZSTD_e_end ? remaining == 0 : in.pos == in.size;
      if (done) return;
    }
  }

  ZSTD_CCtx* context_;
  std::vector<uint8_t> buffer_;
  std::vector<uint8_t> frame_;
};

}  // namespace

void append_entry_header(std::string& stream, const std::u16string& name, uint64_t size) {
  size_t at = stream.size();
  stream.resize(at + entry_header_bytes(name.size()));
  write_entry_header(reinterpret_cast<unsigned char*>(&stream[at]), name.data(), name.size(), size);
}

void append_end_marker(std::string& stream) { stream.append(2, '\0'); }

std::string entry_name_problem(const std::u16string& name) {
  if (name.size() + 1 > kEntryNameUnits) {
    return "reaches " + std::to_string(kEntryNameUnits) + " UTF-16 units";
  }
  std::wstring wide(name.begin(), name.end());
  if (!entry_name_is_safe(wide.c_str())) {
    return "is not a plain relative Windows file name (empty, '.' or '..' parts, a drive, a "
           "device name or a character Windows forbids)";
  }
  return {};
}

std::vector<uint8_t> compress_entries(const std::vector<PackFile>& files,
                                      const FrameOptions& options,
                                      const ProgressReport& progress) {
  std::vector<uint64_t> sizes;
  uint64_t total = 2;  // the end marker
  for (const PackFile& file : files) {
    sizes.push_back(file_size(file));
    total += entry_header_bytes(file.name.size()) + sizes.back();
  }

  FrameEncoder encoder(total, options);
  std::vector<char> chunk(1 << 20);
  uint64_t done = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string header;
    append_entry_header(header, files[i].name, sizes[i]);
    encoder.feed(header.data(), header.size());
    done += header.size();
    if (files[i].path.empty()) {
      encoder.feed(files[i].content.data(), files[i].content.size());
      done += files[i].content.size();
      if (progress) progress(done, total);
      continue;
    }
    std::ifstream in(files[i].path, std::ios::binary);
    uint64_t left = sizes[i];
    while (left > 0) {
      size_t step = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
      if (!in.read(chunk.data(), static_cast<std::streamsize>(step))) {
        throw PackError("cannot read '" + files[i].path + "'");
      }
      encoder.feed(chunk.data(), step);
      left -= step;
      done += step;
      if (progress) progress(done, total);
    }
    if (sizes[i] == 0 && progress) progress(done, total);
    if (in.peek() != std::ifstream::traits_type::eof()) {
      throw PackError("'" + files[i].path + "' changed while it was packed");
    }
  }
  std::string end;
  append_end_marker(end);
  encoder.feed(end.data(), end.size());
  done += end.size();
  if (progress) progress(done, total);
  return encoder.finish();
}

std::vector<uint8_t> compress_stream(const std::string& stream, const FrameOptions& options) {
  FrameEncoder encoder(stream.size(), options);
  encoder.feed(stream.data(), stream.size());
  return encoder.finish();
}

std::vector<uint8_t> wrap_payload(const std::vector<uint8_t>& frame, unsigned char flag) {
  std::vector<uint8_t> payload;
  payload.reserve(kPayloadHeaderBytes + frame.size() + kPayloadAlignment + kPayloadTrailerBytes);
  payload.push_back(kPayloadMagic[0]);
  payload.push_back(kPayloadMagic[1]);
  payload.push_back(flag);
  payload.insert(payload.end(), frame.begin(), frame.end());
  while (payload.size() % kPayloadAlignment != 0) payload.push_back(0);
  const uint64_t trailer_offset = payload.size();
  payload.resize(trailer_offset + kPayloadTrailerBytes);
  store_le(&payload[trailer_offset], trailer_offset, kPayloadTrailerBytes);
  return payload;
}

}  // namespace veldro
