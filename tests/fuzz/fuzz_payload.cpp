// Fuzz target: the payload reader and the entry loop over arbitrary bytes.
// An input starting with "KA" 'Y' is a whole attached payload, read as the launcher reads it.
// Any other input is taken as a decoded entry stream: the harness compresses it into a frame
// first, so that mutations reach the name/size/content parsing instead of dying at the frame's
// checksum. The loop mirrors the parent's entry loop in payload/extract.cpp without the files:
// names of up to 1024 units with their terminator, entry_name_is_safe, the u64 size, content in
// chunks of 32768 bytes.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <zstd.h>

#include "fuzz_report.h"
#include "base/report.h"
#include "format/entry_name.h"
#include "format/payload_layout.h"
#include "payload/stream.h"

namespace {

wchar_t Name[kEntryNameUnits];
unsigned char Chunk[kChunkBytes];

// Content bytes read per input before the harness stops (an RLE block of a few bytes decodes
// to 128 KiB; a long run of them would only cost time, not coverage).
constexpr uint64_t kContentBudget = 64ull << 20;

void read_name() {
  for (size_t i = 0; i < kEntryNameUnits; ++i) {
    uint16_t unit = 0;
    payload_read(&unit, 2);
    Name[i] = static_cast<wchar_t>(unit);
    if (unit == 0) return;
  }
  die_with_message("Error, couldn't decode attached data.");
}

uint64_t read_size() {
  unsigned char bytes[8];
  payload_read(bytes, 8);
  uint64_t size = 0;
  for (int i = 7; i >= 0; --i) size = (size << 8) | bytes[i];
  return size;
}

// What a safe name promises, checked without the checker's own code: joined to a folder, no
// component leaves it or names a drive, stream or another root.
void check_safe_name_stays_inside(const wchar_t* name) {
  if (name[0] == L'\\' || name[0] == L'/') abort();
  const wchar_t* start = name;
  for (const wchar_t* c = name;; ++c) {
    if (*c == L':' || *c == L'/') abort();
    if (*c == L'\\' || *c == L'\0') {
      size_t length = static_cast<size_t>(c - start);
      if (length == 0) abort();
      if (length == 1 && start[0] == L'.') abort();
      if (length == 2 && start[0] == L'.' && start[1] == L'.') abort();
      if (*c == L'\0') return;
      start = c + 1;
    }
  }
}

void entry_loop() {
  uint64_t budget = kContentBudget;
  for (;;) {
    read_name();
    if (Name[0] == L'\0') return;
    if (!entry_name_is_safe(Name)) die_with_unsafe_name(Name);
    check_safe_name_stays_inside(Name);
    uint64_t remaining = read_size();
    while (remaining > 0) {
      if (budget == 0) return;
      size_t chunk = remaining < kChunkBytes ? static_cast<size_t>(remaining) : kChunkBytes;
      if (chunk > budget) chunk = static_cast<size_t>(budget);
      payload_read(Chunk, chunk);
      remaining -= chunk;
      budget -= chunk;
    }
  }
}

void run_payload(const unsigned char* payload, size_t size) {
  if (!payload_header_is_valid(payload, size)) return;
  Failure failure = FUZZ_GUARDED(open_payload_stream_over(payload, size); entry_loop());
  // Failures the reader and the loop may end with; anything else is a broken invariant.
  if (failure == Failure::kMessage) {
    if (strcmp(FailureText, "Error, couldn't decode attached data.") != 0) abort();
  } else if (failure != Failure::kNone && failure != Failure::kUnsafeName) {
    fprintf(stderr, "unexpected failure %d\n", static_cast<int>(failure));
    abort();
  }
  close_payload_stream();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 3 && memcmp(data, kPayloadMagic, 3) == 0) {
    run_payload(data, size);
    return 0;
  }
  // An entry stream: frame it (no checksum, like a frame whose content a mutation kept valid).
  static unsigned char framed[3 + 70000];
  if (size > 65536) return 0;
  memcpy(framed, kPayloadMagic, 3);
  size_t frame = ZSTD_compress(framed + 3, sizeof framed - 3, data, size, 1);
  if (ZSTD_isError(frame)) abort();
  run_payload(framed, 3 + frame);
  return 0;
}
