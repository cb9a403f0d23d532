// The PayloadStream (see stream.h): the attached payload is mapped with the image, so the
// decoder gets the whole rest of it as one piece of input.
#include "payload/stream.h"

#include <string.h>

#include "base/report.h"
#include "format/payload_decoder.h"
#include "format/payload_layout.h"

namespace {

PayloadDecoder Decoder;
const unsigned char* Input;
uint64_t InputSize;

size_t next_input(void*, const void** bytes) {
  *bytes = Input;
  size_t size = static_cast<size_t>(InputSize);
  InputSize = 0;
  return size;
}

}  // namespace

bool payload_header_is_valid(const unsigned char* bytes, uint64_t size) {
  return size >= kPayloadHeaderBytes && memcmp(bytes, kPayloadMagic, kPayloadHeaderBytes) == 0;
}

void open_payload_stream_over(const unsigned char* payload, uint64_t size) {
  Input = payload + kPayloadHeaderBytes;
  InputSize = size - kPayloadHeaderBytes;
  if (!payload_decoder_open(&Decoder, {next_input, nullptr})) {
    die_with_message("Error, couldn't allocate memory.");
  }
}

void payload_read(void* dst, uint64_t n) {
  if (payload_decoder_read(&Decoder, dst, static_cast<size_t>(n)) != Decoded::kOk) {
    die_with_message("Error, couldn't decode attached data.");
  }
}

void close_payload_stream() { payload_decoder_close(&Decoder); }
