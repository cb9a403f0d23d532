// The decoder of a payload's zstd frame: one window of decoded bytes, refilled only when it is
// empty and a caller still wants bytes, so that memory stays the window plus zstd's own
// context however large the payload. Used by the launcher's payload stream and the packer's
// reader alike. Portable (zstd's streaming interface).
#pragma once

#include <stddef.h>

#include <zstd.h>

// Where the frame's bytes come from: next points at the next piece of the frame (and of what
// follows it) and returns its length, or 0 when there is no more.
struct FrameInput {
  size_t (*next)(void* context, const void** bytes);
  void* context;
};

enum class Decoded {
  kOk,           // every byte asked for was delivered
  kCorrupt,      // zstd refused the frame (its error in PayloadDecoder::error)
  kFrameEnded,   // the frame ended, checksum checked, before all bytes asked for
  kInputEnded,   // the input ran out inside the frame
  kExtraBytes,   // (payload_decoder_finish) the frame holds bytes after what was read
};

struct PayloadDecoder {
  ZSTD_DCtx* context;
  unsigned char* window;  // kWindowBytes
  size_t window_size;     // decoded bytes it holds
  size_t window_pos;      // the next one to hand out
  ZSTD_inBuffer input;
  FrameInput source;
  bool window_was_filled;  // the last decode filled the window: more output may wait in zstd
  bool frame_ended;
  size_t error;  // zstd's code of the last kCorrupt
};

// Sets the decoder up over source, accepting frame windows up to 2^kMaxWindowLog bytes. False
// when the window or the context cannot be allocated (nothing is left to close then).
bool payload_decoder_open(PayloadDecoder* decoder, FrameInput source);

// Copies exactly the next n bytes of decoded content to dst (nothing is copied where dst is
// null: the bytes are skipped). Anything but kOk leaves the decoder of no further use.
Decoded payload_decoder_read(PayloadDecoder* decoder, void* dst, size_t n);

// After the last byte a reader wanted: decodes to the frame's end (its checksum is checked
// there). kOk when no decoded byte was left over.
Decoded payload_decoder_finish(PayloadDecoder* decoder);

// Frees the context, then the window.
void payload_decoder_close(PayloadDecoder* decoder);
