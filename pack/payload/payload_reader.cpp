// The payload reader over format/'s decoder and parser (see payload_reader.h). Failures leave
// through exceptions thrown in the callbacks format/ calls; the decoder is closed by the
// reader's destructor whichever way a read ends.
#include "pack/payload/payload_reader.h"

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader
#include <zstd.h>

#include <algorithm>
#include <cstring>

#include "format/entry_stream.h"
#include "format/payload_layout.h"
#include "pack/base/pack_error.h"
#include "pack/base/text.h"
#include "pack/payload/payload_writer.h"

namespace veldro {
namespace {

constexpr size_t kInputChunkBytes = 1 << 17;

std::string quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

PayloadReader::PayloadReader(const ByteSource& file, const PayloadLocation& where)
    : file_(file),
      input_next_(where.offset + kPayloadHeaderBytes),
      input_end_(where.offset + kPayloadHeaderBytes + where.frame_bytes),
      input_(kInputChunkBytes) {
  if (!payload_decoder_open(&decoder_, {next_input, this})) {
    throw PackError("cannot create a decompression context");
  }
  uint8_t head[ZSTD_FRAMEHEADERSIZE_MAX];
  size_t available = static_cast<size_t>(std::min<uint64_t>(sizeof head, where.frame_bytes));
  ZSTD_frameHeader header;
  if (file.read(input_next_, head, available) &&
      ZSTD_getFrameHeader(&header, head, available) == 0) {
    frame_ = {header.frameContentSize, header.windowSize, header.checksumFlag != 0};
  }
}

PayloadReader::~PayloadReader() { payload_decoder_close(&decoder_); }

void PayloadReader::fail(const std::string& problem) const {
  throw PackError(quoted(file_.name()) + ": " + problem);
}

// The decoder's input: the frame's bytes, a chunk at a time, then nothing.
size_t PayloadReader::next_input(void* context, const void** bytes) {
  PayloadReader& reader = *static_cast<PayloadReader*>(context);
  size_t n = static_cast<size_t>(
      std::min<uint64_t>(reader.input_.size(), reader.input_end_ - reader.input_next_));
  if (n == 0) return 0;
  if (!reader.file_.read(reader.input_next_, reader.input_.data(), n)) {
    reader.fail("cannot read the payload");
  }
  reader.input_next_ += n;
  *bytes = reader.input_.data();
  return n;
}

// The parser's source: exactly n decoded bytes, or a failure naming what was being read.
void PayloadReader::read_stream(void* context, void* dst, size_t n) {
  PayloadReader& reader = *static_cast<PayloadReader*>(context);
  reader.pull(dst, n, reader.reading_);
}

void PayloadReader::pull(void* dst, size_t n, const char* what) {
  switch (payload_decoder_read(&decoder_, dst, n)) {
    case Decoded::kOk: return;
    case Decoded::kCorrupt: fail(std::string("corrupt frame: ") + ZSTD_getErrorName(decoder_.error));
    case Decoded::kFrameEnded: fail(std::string("truncated ") + what);
    case Decoded::kInputEnded: fail("the frame ends early");
    case Decoded::kExtraBytes: break;
  }
  fail("bytes after the end marker");
}

bool PayloadReader::next_entry(std::u16string* name, uint64_t* size) {
  wchar_t units[kEntryNameUnits];
  reading_ = "entry name";
  EntryNameKind kind = read_entry_name({read_stream, this}, units);
  if (kind == EntryNameKind::kTooLong) {
    fail("an entry name reaches " + std::to_string(kEntryNameUnits) + " UTF-16 units");
  }
  name->clear();
  for (size_t i = 0; units[i] != L'\0'; ++i) name->push_back(static_cast<char16_t>(units[i]));
  if (kind == EntryNameKind::kEndMarker) return false;
  if (kind == EntryNameKind::kUnsafe) {
    fail("entry '" + utf8_from_utf16(*name) + "' " + entry_name_problem(*name));
  }
  reading_ = "entry size";
  *size = read_entry_size({read_stream, this});
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
  switch (payload_decoder_finish(&decoder_)) {
    case Decoded::kOk: return;
    case Decoded::kCorrupt: fail(std::string("corrupt frame: ") + ZSTD_getErrorName(decoder_.error));
    case Decoded::kInputEnded: fail("the frame ends early");
    case Decoded::kFrameEnded:
    case Decoded::kExtraBytes: break;
  }
  fail("bytes after the end marker");
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

}  // namespace veldro
