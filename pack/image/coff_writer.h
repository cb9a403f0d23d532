// Writes a COFF object for x86-64 holding data under external symbols, which the MinGW and
// Microsoft linkers link alike. Relies on pe_format.h. Portable.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace veldro {

struct CoffSymbol {
  std::string name;
  const std::vector<uint8_t>* bytes;  // outlives the call
  uint32_t alignment;                 // a power of two, at most 16
};

// One .rdata section holding every symbol's bytes, in order, each at its alignment, with an
// external symbol at the start of each; no time stamp, so that builds are reproducible.
std::vector<uint8_t> coff_object(const std::vector<CoffSymbol>& symbols);

}  // namespace veldro
