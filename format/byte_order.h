// Little-endian integers in byte buffers: the order of every format here (the payload's sizes
// and trailer, the build-inputs section, PE and COFF headers, resources). Portable; the one
// place that assembles or splits such integers.
#pragma once

#include <stdint.h>

// The `bytes` bytes at p (1 to 8) as an unsigned number, least significant first.
inline uint64_t load_le(const unsigned char* p, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

// Writes the low `bytes` bytes of value at p, least significant first.
inline void store_le(unsigned char* p, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}
