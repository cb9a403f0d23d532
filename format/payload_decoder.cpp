// The payload frame's decoder (see payload_decoder.h).
#include "format/payload_decoder.h"

#include <stdlib.h>
#include <string.h>

#include "format/payload_layout.h"

namespace {

// Decodes into the emptied window until it holds something. zstd may hold decoded bytes back
// when the window was filled, so a call is made then even with the input used up.
Decoded refill(PayloadDecoder* decoder) {
  for (;;) {
    if (decoder->frame_ended) return Decoded::kFrameEnded;
    if (decoder->input.pos == decoder->input.size && !decoder->window_was_filled) {
      const void* bytes = nullptr;
      size_t size = decoder->source.next(decoder->source.context, &bytes);
      if (size == 0) return Decoded::kInputEnded;
      decoder->input = {bytes, size, 0};
    }
    ZSTD_outBuffer out = {decoder->window, kWindowBytes, 0};
    size_t result = ZSTD_decompressStream(decoder->context, &out, &decoder->input);
    if (ZSTD_isError(result)) {
      decoder->error = result;
      return Decoded::kCorrupt;
    }
    decoder->window_was_filled = out.pos == kWindowBytes;
    decoder->frame_ended = result == 0;
    decoder->window_pos = 0;
    decoder->window_size = out.pos;
    if (out.pos > 0) return Decoded::kOk;
  }
}

}  // namespace

bool payload_decoder_open(PayloadDecoder* decoder, FrameInput source) {
  memset(decoder, 0, sizeof *decoder);
  decoder->source = source;
  decoder->window = static_cast<unsigned char*>(malloc(kWindowBytes));
  if (decoder->window == nullptr) return false;
  decoder->context = ZSTD_createDCtx();
  if (decoder->context == nullptr ||
      ZSTD_isError(ZSTD_DCtx_setParameter(decoder->context, ZSTD_d_windowLogMax, kMaxWindowLog))) {
    payload_decoder_close(decoder);
    return false;
  }
  return true;
}

Decoded payload_decoder_read(PayloadDecoder* decoder, void* dst, size_t n) {
  unsigned char* out = static_cast<unsigned char*>(dst);
  while (n > 0) {
    size_t available = decoder->window_size - decoder->window_pos;
    if (available == 0) {
      Decoded refilled = refill(decoder);
      if (refilled != Decoded::kOk) return refilled;
      continue;
    }
    size_t step = available < n ? available : n;
    if (out != nullptr) {
      memcpy(out, decoder->window + decoder->window_pos, step);
      out += step;
    }
    decoder->window_pos += step;
    n -= step;
  }
  return Decoded::kOk;
}

Decoded payload_decoder_finish(PayloadDecoder* decoder) {
  if (decoder->window_pos != decoder->window_size) return Decoded::kExtraBytes;
  Decoded refilled = refill(decoder);
  if (refilled == Decoded::kOk) return Decoded::kExtraBytes;
  return refilled == Decoded::kFrameEnded ? Decoded::kOk : refilled;
}

void payload_decoder_close(PayloadDecoder* decoder) {
  ZSTD_freeDCtx(decoder->context);
  free(decoder->window);
  memset(decoder, 0, sizeof *decoder);
}
