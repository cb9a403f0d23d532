// Test support, not part of veldro-pack: small PE images made from the records of
// pe_format.h, so that host tests and fuzz seeds need no Windows build. An image holds an
// export table and an import table when asked for, the caller's sections, and last, when
// asked for, a stub's build-inputs placeholder (.veldro with every field absent).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "pack/image/pe_format.h"

namespace veldro {

struct SyntheticSection {
  std::string name;
  std::vector<uint8_t> data;
};

struct SyntheticPe {
  bool dll = false;
  bool pe32_plus = true;
  uint16_t machine = kMachineAmd64;
  uint16_t subsystem = kSubsystemGui;
  uint32_t file_alignment = 0x200;
  uint32_t section_alignment = 0x1000;
  std::vector<std::string> exports;  // names in an .edata section
  std::vector<std::string> imports;  // DLL names in an .idata section
  std::vector<SyntheticSection> sections;
  bool inputs_placeholder = false;
};

// The image's bytes: headers with room for one more section header, then each section's data
// at its file alignment, addresses one after another at the section alignment.
std::vector<uint8_t> synthetic_pe(const SyntheticPe& spec);

}  // namespace veldro
