// The PayloadStream: one process-wide reader over the attached payload that decodes its frame
// incrementally (format/payload_decoder.h) and hands out exact byte counts, front to back,
// once. Every failure ends the run (base/report.h).
#pragma once

#include <stdint.h>

// True when bytes start with "KA" and 'Y'.
bool payload_header_is_valid(const unsigned char* bytes, uint64_t size);

// Opens the stream over the bytes after the 3-byte header of a payload of `size` bytes.
// Ends the process with "Error, couldn't allocate memory." when the window or the decoder
// cannot be had. Call once, after the header check.
void open_payload_stream_over(const unsigned char* payload, uint64_t size);

// Copies exactly the next n (>= 1) bytes of the entry stream to dst, or ends the process with
// "Error, couldn't decode attached data." (corrupt frame, premature end, bytes past the frame).
void payload_read(void* dst, uint64_t n);

// Releases the decoder, then the window.
void close_payload_stream();
