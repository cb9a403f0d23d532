// The PayloadStream (see stream.h). The decoder is called only when the window is empty and a
// caller still wants bytes, so memory stays one window plus the decoder's own buffers.
#include "payload/stream.h"

#include <stdlib.h>
#include <string.h>

#include <zstd.h>

#include "launcher/report.h"
#include "launcher/run_state.h"
#include "payload/format.h"

namespace {

ZSTD_inBuffer Input;
ZSTD_outBuffer Window;  // between calls: size = decoded bytes held, pos = read position
ZSTD_DCtx* Decoder;

// Decodes the next window; returns whether the decoder filled it completely, in which case it
// may hold more output even with the input used up.
bool refill_window() {
  Window.size = kWindowBytes;
  Window.pos = 0;
  ++Counters.decoder_calls;
  size_t result = ZSTD_decompressStream(Decoder, &Window, &Input);
  if (ZSTD_isError(result)) die_with_message("Error, couldn't decode attached data.");
  bool full = Window.pos == kWindowBytes;
  Window.size = Window.pos;
  Window.pos = 0;
  return full;
}

}  // namespace

bool payload_header_is_valid(const unsigned char* bytes, uint64_t size) {
  return size >= kPayloadHeaderBytes && memcmp(bytes, kPayloadMagic, kPayloadHeaderBytes) == 0;
}

void open_payload_stream_over(const unsigned char* payload, uint64_t size) {
  void* window = malloc(kWindowBytes);
  if (window == nullptr) die_with_message("Error, couldn't allocate memory.");
  Decoder = ZSTD_createDCtx();
  if (Decoder == nullptr) die_with_message("Error, couldn't allocate memory.");
  Window = {window, 0, 0};
  Input = {payload + kPayloadHeaderBytes, size - kPayloadHeaderBytes, 0};
}

void payload_read(void* dst, uint64_t n) {
  unsigned char* out = static_cast<unsigned char*>(dst);
  bool window_was_full = false;
  for (;;) {
    size_t available = Window.size - Window.pos;
    if (available > 0) {
      size_t step = available < n ? available : static_cast<size_t>(n);
      memcpy(out, static_cast<unsigned char*>(Window.dst) + Window.pos, step);
      Window.pos += step;
      n -= step;
      if (n == 0) return;
      out += step;
    } else if (Input.pos < Input.size || window_was_full) {
      window_was_full = refill_window();
    } else {
      die_with_message("Error, couldn't decode attached data.");
    }
  }
}

void close_payload_stream() {
  ZSTD_freeDCtx(Decoder);
  Decoder = nullptr;
  free(Window.dst);
  Window = {nullptr, 0, 0};
  Input = {nullptr, 0, 0};
}
