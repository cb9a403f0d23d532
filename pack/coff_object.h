// Writes the object file that gives a launcher its build inputs: one read-only data section
// holding the payload and the configuration strings, each under an external symbol. A COFF
// object for x86-64 links with the MinGW and Microsoft linkers alike. Portable.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace veldro {

// The strings a launcher is configured with (UTF-16, stored with their terminator).
struct LauncherStrings {
  std::u16string dir_spec = u"{TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM}";
  std::u16string company = u"QuillBeacon";
  std::u16string product = u"Quill Beacon";
  std::u16string file_version = u"1.0.0.0";
  std::u16string product_version = u"1.0.0";
  // VERSION: the product version and the file version joined by a hyphen.
  std::u16string version() const { return product_version + u"-" + file_version; }
};

// A string as the launcher stores it: UTF-16LE with its terminator.
std::vector<uint8_t> utf16_bytes(const std::u16string& text);

struct CoffSymbol {
  std::string name;
  std::vector<uint8_t> bytes;
  uint32_t alignment;
};

// A COFF object with one .rdata section holding every symbol's bytes, in order, aligned.
std::vector<uint8_t> coff_object(const std::vector<CoffSymbol>& symbols);

// The launcher's object: veldro_payload, veldro_payload_size and the string symbols.
std::vector<uint8_t> launcher_object(const std::vector<uint8_t>& payload,
                                     const LauncherStrings& strings);

}  // namespace veldro
