// Little-endian integers in byte buffers, the order every format the packer reads or writes
// keeps them in (PE and COFF headers, resources, the payload, the build-inputs section).
// Portable.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace veldro {

// Appends the low `bytes` bytes of v, least significant first.
inline void put_le(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put16(std::vector<uint8_t>& out, uint32_t v) { put_le(out, v, 2); }
inline void put32(std::vector<uint8_t>& out, uint32_t v) { put_le(out, v, 4); }

// Overwrites the `bytes` bytes at `at` with the low bytes of v.
inline void store_le(std::vector<uint8_t>& out, size_t at, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// The `bytes` bytes at p as an unsigned number.
inline uint64_t load_le(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace veldro
