// Fuzz target: the launcher's payload reader (payload/stream.cpp over format/payload_decoder.cpp)
// and the entry-stream parser (format/entry_stream.cpp) over arbitrary bytes.
// An input starting with "KA" 'Y' is a whole attached payload, read as the launcher reads it.
// Any other input is taken as a decoded entry stream: the harness compresses it into a frame
// first, so that mutations reach the name/size/content parsing instead of dying at the frame's
// checksum. The entry loop is payload/extract.cpp's without the files: the parser judges each
// name and reads its size; only the content loop (chunks of kChunkBytes) is the harness's.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <zstd.h>

#include "base/report.h"
#include "format/entry_stream.h"
#include "format/payload_layout.h"
#include "fuzz_report.h"
#include "payload/stream.h"

namespace {

wchar_t Name[kEntryNameUnits];
unsigned char Chunk[kChunkBytes];

// Content bytes read per input before the harness stops (an RLE block of a few bytes decodes
// to 128 KiB; a long run of them would only cost time, not coverage).
constexpr uint64_t kContentBudget = 64ull << 20;

void read_from_payload(void*, void* dst, size_t n) { payload_read(dst, n); }

const EntrySource kPayloadEntries = {read_from_payload, nullptr};

// What a safe name promises, checked without the checker's own code: joined to a folder, no
// component leaves it (also once Windows has stripped its trailing dots and blanks) or names
// a drive, a stream or another root.
void check_safe_name_stays_inside(const wchar_t* name) {
  if (wcsnlen(name, kEntryNameUnits) == kEntryNameUnits) abort();  // terminated
  const wchar_t* start = name;
  for (const wchar_t* c = name;; ++c) {
    if (*c == L':' || *c == L'/') abort();
    if (*c == L'\\' || *c == L'\0') {
      const wchar_t* end = c;
      while (end > start && (end[-1] == L'.' || end[-1] == L' ')) --end;
      if (end == start) abort();  // empty, ".", "..", or nothing but dots and blanks
      if (*c == L'\0') return;
      start = c + 1;
    }
  }
}

void entry_loop() {
  uint64_t budget = kContentBudget;
  for (;;) {
    switch (read_entry_name(kPayloadEntries, Name)) {
      case EntryNameKind::kEntry:
        break;
      case EntryNameKind::kEndMarker:
        return;
      case EntryNameKind::kTooLong:
        die_with_message("Error, couldn't decode attached data.");
      case EntryNameKind::kUnsafe:
        die_with_unsafe_name(Name);
    }
    check_safe_name_stays_inside(Name);
    uint64_t remaining = read_entry_size(kPayloadEntries);
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
