// The payload stream reader against real zstd frames: exact bytes whatever the read sizes,
// window edges, decoder calls, and the failures of malformed frames.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/run_state.h"
#include "pack/payload/payload_writer.h"
#include "format/payload_layout.h"
#include "payload/stream.h"

namespace {

using veldro::FrameOptions;

std::string pseudo_random_text(size_t size, unsigned seed) {
  // Compressible but not trivial: words from a small alphabet.
  std::mt19937 generator(seed);
  std::string text(size, ' ');
  for (char& c : text) c = "abcdefgh \n"[generator() % 10];
  return text;
}

// A payload around stream, and the stream opened over it.
struct OpenStream {
  std::vector<uint8_t> payload;
  explicit OpenStream(const std::string& stream, FrameOptions options = {}) {
    options.level = 3;
    payload = veldro::wrap_payload(veldro::compress_stream(stream, options));
    Counters = {};
    open_payload_stream_over(payload.data(), payload.size());
  }
  ~OpenStream() { close_payload_stream(); }
  std::string read(size_t n) {
    std::string out(n, '\0');
    payload_read(&out[0], n);
    return out;
  }
};

TEST(PayloadStream, DeliversExactBytesForEveryReadPattern) {
  const std::string stream = pseudo_random_text(3 * kWindowBytes + 12345, 1);
  // Read sizes the extraction uses (2, 8, 32768, a remainder) and odd ones that straddle
  // every window edge at a different offset.
  const std::vector<std::vector<size_t>> patterns = {
      {2}, {8}, {kChunkBytes}, {1, 2, 8, kChunkBytes + 1}, {kWindowBytes - 1, 2, 8},
      {kWindowBytes}, {7, 131071, 5, 99999}};
  for (const std::vector<size_t>& pattern : patterns) {
    OpenStream open(stream);
    std::string got;
    for (size_t i = 0; got.size() < stream.size(); ++i) {
      size_t n = std::min(pattern[i % pattern.size()], stream.size() - got.size());
      got += open.read(n);
    }
    EXPECT_EQ(got, stream) << "pattern starting with " << pattern[0];
  }
}

TEST(PayloadStream, UnitsAndSizesStraddlingAWindowEdgeArriveIntact) {
  // A two-byte unit whose first byte is the window's last, then an 8-byte field across the
  // next edge.
  std::string stream = pseudo_random_text(kWindowBytes - 1, 2);
  stream += std::string("\x41\x00", 2);
  stream += pseudo_random_text(kWindowBytes - 5, 3);
  const std::string size_field("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  stream += size_field;
  stream += "tail";

  OpenStream open(stream);
  open.read(kWindowBytes - 1);
  EXPECT_EQ(open.read(2), std::string("\x41\x00", 2));
  open.read(kWindowBytes - 5);
  EXPECT_EQ(open.read(8), size_field);
  EXPECT_EQ(open.read(4), "tail");
}

TEST(PayloadStream, CallsTheDecoderOnlyWhenTheWindowIsEmpty) {
  const std::string stream = pseudo_random_text(2 * kWindowBytes + 100, 4);
  OpenStream open(stream);
  open.read(1);
  EXPECT_EQ(Counters.decoder_calls, 1u);
  open.read(kWindowBytes - 1);  // ends exactly at the window's end: no decoder call
  EXPECT_EQ(Counters.decoder_calls, 1u);
  open.read(1);  // the next read refills first
  EXPECT_EQ(Counters.decoder_calls, 2u);
  open.read(kWindowBytes - 1 + 100);  // reading exactly to the end never decodes past the frame
  EXPECT_EQ(Counters.decoder_calls, 3u);
}

TEST(PayloadStream, ReadingOnlyTheFirstBytesNeverDecodesTheRest) {
  // The child reads only the first name: a frame corrupt beyond the first window goes unseen.
  std::mt19937 generator(5);
  std::string stream = pseudo_random_text(64, 5);
  for (int i = 0; i < 4 * static_cast<int>(kWindowBytes); ++i) stream += static_cast<char>(generator());
  FrameOptions options;
  options.level = 3;
  std::vector<uint8_t> frame = veldro::compress_stream(stream, options);
  frame[frame.size() - 100] ^= 0xFF;
  std::vector<uint8_t> payload = veldro::wrap_payload(frame);
  Counters = {};
  open_payload_stream_over(payload.data(), payload.size());
  std::string first(64, '\0');
  payload_read(&first[0], 64);
  EXPECT_EQ(first, stream.substr(0, 64));
  EXPECT_EQ(Counters.decoder_calls, 1u);
  close_payload_stream();
}

TEST(PayloadStream, ARefillThatProducesNothingIsFollowedByAnother) {
  // A skippable frame ahead of the data frame makes the first decoder call produce 0 bytes.
  const std::string stream = pseudo_random_text(1000, 6);
  FrameOptions options;
  options.level = 3;
  std::vector<uint8_t> frame = veldro::compress_stream(stream, options);
  std::vector<uint8_t> with_skip = {0x50, 0x2A, 0x4D, 0x18, 4, 0, 0, 0, 1, 2, 3, 4};
  with_skip.insert(with_skip.end(), frame.begin(), frame.end());
  std::vector<uint8_t> payload = veldro::wrap_payload(with_skip);
  Counters = {};
  open_payload_stream_over(payload.data(), payload.size());
  std::string got(stream.size(), '\0');
  payload_read(&got[0], got.size());
  EXPECT_EQ(got, stream);
  EXPECT_GE(Counters.decoder_calls, 1u);
  close_payload_stream();
}

TEST(PayloadStream, HeaderCheckNeedsKAandY) {
  const unsigned char good[] = {'K', 'A', 'Y'};
  const unsigned char bad_flag[] = {'K', 'A', 'N'};
  const unsigned char bad_magic[] = {'K', 'B', 'Y'};
  EXPECT_TRUE(payload_header_is_valid(good, 3));
  EXPECT_FALSE(payload_header_is_valid(bad_flag, 3));
  EXPECT_FALSE(payload_header_is_valid(bad_magic, 3));
  EXPECT_FALSE(payload_header_is_valid(good, 2));  // too short to hold a header
}

using PayloadStreamDeathTest = ::testing::Test;

TEST_F(PayloadStreamDeathTest, ReadingPastTheFrameEndsWithExitCode2) {
  // Past the frame the decoder meets the alignment and trailer, which are no frame.
  EXPECT_EXIT(
      {
        OpenStream open("0123456789");
        open.read(10);
        open.read(1);
      },
      ::testing::ExitedWithCode(2), "");
}

TEST_F(PayloadStreamDeathTest, AStreamEndingOnAFullWindowStillFailsCleanlyPastItsEnd) {
  EXPECT_EXIT(
      {
        OpenStream open(pseudo_random_text(kWindowBytes, 8));
        open.read(kWindowBytes);
        open.read(2);
      },
      ::testing::ExitedWithCode(2), "");
}

TEST_F(PayloadStreamDeathTest, CorruptFrameEndsWithExitCode2) {
  EXPECT_EXIT(
      {
        std::mt19937 generator(9);
        std::string stream;
        for (int i = 0; i < 300000; ++i) stream += static_cast<char>(generator());
        FrameOptions options;
        options.level = 3;
        std::vector<uint8_t> frame = veldro::compress_stream(stream, options);
        frame[frame.size() / 2] ^= 0x5A;
        std::vector<uint8_t> payload = veldro::wrap_payload(frame);
        open_payload_stream_over(payload.data(), payload.size());
        std::string got(stream.size(), '\0');
        payload_read(&got[0], got.size());
      },
      ::testing::ExitedWithCode(2), "");
}

}  // namespace
