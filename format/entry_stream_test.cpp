// The entry stream as every reader takes it: the decoder over a zstd frame made here with
// libzstd, handing out exact byte counts whatever the read sizes and however the input arrives,
// with each way a frame can end or break told apart; and the parser over that decoder.
#include "format/entry_stream.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "format/payload_decoder.h"

namespace {

constexpr size_t kWhole = SIZE_MAX;

// Text from a small alphabet (compressible, not trivially), or bytes of noise.
std::string sample(size_t size, unsigned seed, bool noise = false) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = noise ? static_cast<char>(random()) : "abcdefgh \n"[random() % 10];
  return bytes;
}

// One frame with a checksum, as the packer writes it; without content size when asked, so
// that its header carries a window descriptor.
std::string frame_of(const std::string& content, bool content_size = true) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 3);
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  ZSTD_CCtx_setParameter(context, ZSTD_c_contentSizeFlag, content_size ? 1 : 0);
  std::string frame(ZSTD_compressBound(content.size()), '\0');
  size_t size = ZSTD_compress2(context, &frame[0], frame.size(), content.data(), content.size());
  ZSTD_freeCCtx(context);
  if (ZSTD_isError(size)) throw std::runtime_error(ZSTD_getErrorName(size));
  frame.resize(size);
  return frame;
}

// A frame of ten digits whose header declares a window of 2^log bytes.
std::string frame_with_window_log(int log) {
  std::string frame = frame_of("0123456789", false);
  if ((frame[4] & 0x20) != 0) throw std::logic_error("a single-segment frame has no window");
  frame[5] = static_cast<char>((log - 10) << 3);
  return frame;
}

std::string flipped(std::string bytes, size_t at) {
  bytes[at] ^= 0x5A;
  return bytes;
}

// The decoder over bytes handed out in pieces of a given size.
struct Reader {
  const std::string bytes;
  size_t piece;
  size_t at = 0;
  PayloadDecoder decoder;

  Reader(std::string input, size_t piece_size) : bytes(std::move(input)), piece(piece_size) {
    if (!payload_decoder_open(&decoder, {next, this})) throw std::runtime_error("open");
  }
  Reader(const Reader&) = delete;
  ~Reader() { payload_decoder_close(&decoder); }

  static size_t next(void* context, const void** piece_bytes) {
    Reader& reader = *static_cast<Reader*>(context);
    size_t size = std::min(reader.piece, reader.bytes.size() - reader.at);
    *piece_bytes = reader.bytes.data() + reader.at;
    reader.at += size;
    return size;
  }
};

TEST(PayloadDecoder, ExactBytesForEveryReadPatternAndInputPieces) {
  const std::string content = sample(3 * kWindowBytes + 12345, 1);
  const std::string frame = frame_of(content);
  const struct {
    std::vector<size_t> sizes;  // read sizes, repeated
    size_t piece;               // input piece size
    bool skip_every_other;      // every other read with a null destination
  } cases[] = {
      {{1}, kWhole, false},
      {{2}, 1, false},
      {{8}, 7, true},
      {{kChunkBytes}, kWhole, false},
      {{1, 2, 8, kChunkBytes + 1}, 4096, false},
      {{kWindowBytes - 1, 2, 8}, kWhole, true},
      {{kWindowBytes}, 5000, false},
      {{kWindowBytes + 1}, 1, true},
      {{7, kWindowBytes - 1, 5, 99999}, kWhole, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    Reader reader(frame, c.piece);
    std::string got;
    for (size_t i = 0; got.size() < content.size(); ++i) {
      size_t n = std::min(c.sizes[i % c.sizes.size()], content.size() - got.size());
      if (c.skip_every_other && i % 2 == 1) {
        ASSERT_EQ(payload_decoder_read(&reader.decoder, nullptr, n), Decoded::kOk);
        got += content.substr(got.size(), n);  // the next read shows whether n were skipped
      } else {
        std::string bytes(n, '\0');
        ASSERT_EQ(payload_decoder_read(&reader.decoder, &bytes[0], n), Decoded::kOk);
        got += bytes;
      }
    }
    EXPECT_TRUE(got == content);
    EXPECT_EQ(payload_decoder_finish(&reader.decoder), Decoded::kOk);
  }
}

TEST(PayloadDecoder, HowAFrameEndsOrBreaks) {
  const std::string digits = frame_of("0123456789");
  const std::string two_windows = sample(2 * kWindowBytes, 2);
  const std::string noise = frame_of(sample(300000, 3, true));
  // Its last byte waits inside zstd once the first window is full.
  const std::string one_past = frame_of(sample(kWindowBytes + 1, 1));
  const Decoded kOk = Decoded::kOk;
  const struct {
    const char* what;
    std::string input;
    size_t piece;
    size_t read;
    Decoded read_result;
    Decoded finish_result;  // when the read succeeds
    ZSTD_ErrorCode error;   // for kCorrupt, when it says which
  } cases[] = {
      {"read whole", digits, kWhole, 10, kOk, kOk},
      {"a byte left", digits, kWhole, 9, kOk, Decoded::kExtraBytes},
      {"read whole, ending on a window edge", frame_of(two_windows), kWhole, 2 * kWindowBytes, kOk,
       kOk},
      {"bytes left inside zstd", frame_of(two_windows + "12345"), kWhole, 2 * kWindowBytes, kOk,
       Decoded::kExtraBytes},
      {"one byte past the end", digits, kWhole, 11, Decoded::kFrameEnded},
      {"past the end of a full window", frame_of(sample(kWindowBytes, 4)), kWhole,
       kWindowBytes + 2, Decoded::kFrameEnded},
      {"what follows the frame is not read",
       digits + std::string("\0\0\0\0\x28\0\0\0\0\0\0\0", 12), kWhole, 10, kOk, kOk},
      {"the frame cut short", noise.substr(0, noise.size() - 10), kWhole, 300000,
       Decoded::kInputEnded},
      {"cut before the checksum: every byte, then no more input",
       one_past.substr(0, one_past.size() - 4), kWhole, kWindowBytes + 1, kOk,
       Decoded::kInputEnded},
      {"only the magic", digits.substr(0, 3), kWhole, 1, Decoded::kInputEnded},
      {"not a frame", "plain text, not zstd", kWhole, 1, Decoded::kCorrupt, kOk,
       ZSTD_error_prefix_unknown},
      {"a flipped byte inside", flipped(noise, noise.size() / 2), kWhole, 300000,
       Decoded::kCorrupt},
      // The child reads only the first name: damage further on goes unseen.
      {"a flipped byte read only at the start", flipped(noise, noise.size() - 100), kWhole, 64,
       kOk, Decoded::kExtraBytes},
      {"a wrong checksum, met by the read", flipped(digits, digits.size() - 1), kWhole, 10,
       Decoded::kCorrupt, kOk, ZSTD_error_checksum_wrong},
      {"a right checksum arriving last", digits, digits.size() - 4, 10, kOk, kOk},
      {"a wrong checksum arriving last, met by finish", flipped(digits, digits.size() - 1),
       digits.size() - 4, 10, kOk, Decoded::kCorrupt, ZSTD_error_checksum_wrong},
      {"the largest window the packer may write", frame_with_window_log(kMaxWindowLog), kWhole, 10,
       kOk, kOk},
      {"a larger window", frame_with_window_log(kMaxWindowLog + 1), kWhole, 1, Decoded::kCorrupt,
       kOk, ZSTD_error_frameParameter_windowTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reader reader(c.input, c.piece);
    std::string bytes(c.read, '\0');
    Decoded result = payload_decoder_read(&reader.decoder, &bytes[0], c.read);
    EXPECT_EQ(result, c.read_result);
    if (result == Decoded::kOk) result = payload_decoder_finish(&reader.decoder);
    if (c.read_result == Decoded::kOk) {
      EXPECT_EQ(result, c.finish_result);
    }
    if (result == Decoded::kCorrupt && c.error != ZSTD_error_no_error) {
      EXPECT_EQ(ZSTD_getErrorCode(reader.decoder.error), c.error);
    }
  }
}

// The parser's source: the decoder, failing as a reader does (it never returns short).
void read_decoded(void* context, void* dst, size_t n) {
  Decoded result = payload_decoder_read(static_cast<PayloadDecoder*>(context), dst, n);
  if (result != Decoded::kOk) throw std::runtime_error("decoder ended the read");
}

EntrySource source_of(Reader& reader) { return {read_decoded, &reader.decoder}; }

struct Entry {
  std::u16string name;
  std::string content;
};

std::string stream_of(const std::vector<Entry>& entries) {
  std::string stream;
  for (const Entry& e : entries) {
    std::string header(entry_header_bytes(e.name.size()), '\xAA');  // every byte written
    write_entry_header(reinterpret_cast<unsigned char*>(&header[0]), e.name.data(), e.name.size(),
                       e.content.size());
    stream += header + e.content;
  }
  return stream + std::string(2, '\0');  // the end marker
}

std::wstring wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

TEST(EntryStream, WrittenEntriesParseBackAcrossWindowEdges) {
  const std::u16string straddling = u"caf\u00e9\\\u65e5\u672c.txt";
  std::vector<Entry> entries = {{u"app.dll", "MZ"},
                                {u"lib\\x.bin", ""},
                                {straddling, ""},
                                {u"\u0100", sample(kWindowBytes + 3, 6, true)},  // a zero low byte
                                {u"empty.txt", ""}};
  // Content sizes that start the third header one byte before the first window edge, and the
  // fourth's size field four bytes before the second.
  const size_t third = kWindowBytes - 1;
  const size_t fourth = 2 * kWindowBytes - 4 - (entry_header_bytes(1) - 8);
  entries[1].content = sample(third - entry_header_bytes(7) - 2 - entry_header_bytes(9), 5);
  entries[2].content = sample(fourth - third - entry_header_bytes(straddling.size()), 6);

  Reader reader(frame_of(stream_of(entries)), kWhole);
  wchar_t name[kEntryNameUnits];
  for (const Entry& e : entries) {
    ASSERT_EQ(read_entry_name(source_of(reader), name), EntryNameKind::kEntry);
    EXPECT_EQ(std::wstring(name), wide(e.name));
    uint64_t size = read_entry_size(source_of(reader));
    ASSERT_EQ(size, e.content.size());
    std::string content(size, '\0');
    for (size_t at = 0; at < size; at += kChunkBytes) {
      read_decoded(&reader.decoder, &content[at], std::min<size_t>(kChunkBytes, size - at));
    }
    EXPECT_TRUE(content == e.content) << "content of entry " << (&e - entries.data());
  }
  EXPECT_EQ(read_entry_name(source_of(reader), name), EntryNameKind::kEndMarker);
  EXPECT_EQ(name[0], L'\0');
  EXPECT_EQ(payload_decoder_finish(&reader.decoder), Decoded::kOk);
}

TEST(EntryStream, NamesAreJudged) {
  const std::u16string longest(kEntryNameUnits - 1, u'a');
  const struct {
    std::u16string units;  // before the terminator
    EntryNameKind kind;
  } cases[] = {
      {u"", EntryNameKind::kEndMarker},
      {u"a", EntryNameKind::kEntry},
      {u"\u0100x", EntryNameKind::kEntry},
      {u"caf\u00e9\\\u65e5", EntryNameKind::kEntry},
      {longest, EntryNameKind::kEntry},
      {longest + u"a", EntryNameKind::kTooLong},  // no terminator within kEntryNameUnits units
      {u"..\\evil.txt", EntryNameKind::kUnsafe},
      {u"a\\\\b", EntryNameKind::kUnsafe},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    std::string stream;
    for (char16_t unit : c.units) {
      stream += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    Reader reader(frame_of(stream + std::string(10, '\0')), kWhole);
    wchar_t name[kEntryNameUnits];
    EXPECT_EQ(read_entry_name(source_of(reader), name), c.kind);
    // The launcher shows an unsafe name in its failure line.
    if (c.kind != EntryNameKind::kTooLong) {
      EXPECT_EQ(std::wstring(name), wide(c.units));
    }
  }
}

TEST(EntryStream, HeaderRoundTrip) {
  const std::u16string name = u"a\u00e9";
  std::string header(entry_header_bytes(2), '\xAA');
  unsigned char* out = reinterpret_cast<unsigned char*>(&header[0]);
  write_entry_header(out, name.data(), 2, 0x0102030405060708);
  EXPECT_EQ(header, std::string("a\0\xe9\0\0\0\x08\x07\x06\x05\x04\x03\x02\x01", 14));
  Reader reader(frame_of(header), kWhole);
  wchar_t read[kEntryNameUnits];
  EXPECT_EQ(read_entry_name(source_of(reader), read), EntryNameKind::kEntry);
  EXPECT_EQ(std::wstring(read), L"a\u00e9");
  EXPECT_EQ(read_entry_size(source_of(reader)), 0x0102030405060708u);
}

}  // namespace
