// The entry stream, the payload frame's decoded content, and its one parser:
//   { UTF-16LE name, 0x0000 | u64 LE size | size bytes of content }... | 0x0000 (end marker)
// Every reader of a payload (the launcher's extraction, the packer's list, verify and extract,
// the fuzz targets) takes names and sizes through these functions, so that all of them accept
// and refuse the same streams. Portable; the bytes come from the caller's decoder.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "format/payload_layout.h"

// Where the parser takes the stream's bytes from: read copies exactly n bytes to dst, or does
// not return (the caller's own failure: the launcher ends the run, the packer throws).
struct EntrySource {
  void (*read)(void* context, void* dst, size_t n);
  void* context;
};

enum class EntryNameKind {
  kEntry,      // an entry's name, safe to join to a folder (format/entry_name.h)
  kEndMarker,  // the empty name that ends the stream
  kTooLong,    // no terminator within kEntryNameUnits units: malformed data
  kUnsafe,     // a name that would leave the folder it is joined to
};

// Reads the next name, a unit at a time up to and including its terminator, into name, and
// judges it. The name is terminated in every case but kTooLong.
EntryNameKind read_entry_name(EntrySource source, wchar_t name[kEntryNameUnits]);

// Reads the u64 content size that follows an entry's name.
uint64_t read_entry_size(EntrySource source);

// The bytes of an entry's header: the name's units, its terminator and the size.
constexpr size_t entry_header_bytes(size_t name_units) { return 2 * (name_units + 1) + 8; }

// Writes an entry's header (name_units UTF-16 units of name, its terminator, size) at out, which
// holds entry_header_bytes(name_units) bytes.
void write_entry_header(unsigned char* out, const char16_t* name, size_t name_units,
                        uint64_t size);
