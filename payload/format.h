// The attached payload format, shared by the launcher (reader) and the packer (writer):
//   "KA" 'Y' | one zstd frame | 0-7 zero bytes | u64 LE trailer = array length - 8
// The frame decodes to entries { UTF-16LE name, 0x0000 | u64 LE size | content } and an empty
// name as end marker. The first entry is the main DLL.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr unsigned char kPayloadMagic[3] = {'K', 'A', 'Y'};
constexpr size_t kPayloadHeaderBytes = 3;
constexpr size_t kPayloadTrailerBytes = 8;
constexpr size_t kPayloadAlignment = 8;

// A name including its terminator fits in this many UTF-16 units.
constexpr size_t kEntryNameUnits = 1024;

// The reader's window of decoded bytes (the largest zstd block) and the write chunk.
constexpr size_t kWindowBytes = 131072;
constexpr size_t kChunkBytes = 32768;

// The largest frame window the launcher's decoder accepts by default: 2^27 bytes.
constexpr int kMaxWindowLog = 27;
