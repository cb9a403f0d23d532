// The attached payload, as the packer writes it and the launcher and the packer's readers read it:
//   "KA" 'Y' | one zstd frame | 0-7 zero bytes | u64 LE trailer = payload length - 8
// The frame decodes to the entry stream (format/entry_stream.h). The first entry is the main
// DLL. Portable constants only.
#pragma once

#include <stddef.h>

constexpr unsigned char kPayloadMagic[3] = {'K', 'A', 'Y'};
constexpr size_t kPayloadHeaderBytes = 3;
constexpr size_t kPayloadTrailerBytes = 8;
constexpr size_t kPayloadAlignment = 8;

// An entry name, its terminator included, fits in this many UTF-16 units.
constexpr size_t kEntryNameUnits = 1024;

// The readers' window of decoded bytes (the largest zstd block), and the launcher's write chunk.
constexpr size_t kWindowBytes = 131072;
constexpr size_t kChunkBytes = 32768;

// Frame window logs: what the packer may write and every reader decodes (2^27 bytes at most,
// zstd's default limit for decoders), and the packer's default (8 MiB of decoder memory).
constexpr int kMinWindowLog = 10;
constexpr int kMaxWindowLog = 27;
constexpr int kDefaultWindowLog = 23;
