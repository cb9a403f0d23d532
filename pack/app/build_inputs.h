// What a build fixes for one launcher besides its payload: the directory template and the
// product strings, and the two forms the build inputs take (format/build_inputs.h): the symbols
// of an object to link, and the build-inputs section of an exe built on a stub. Relies on
// image/ and base/. Portable.
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

// The COFF object a linked launcher gets: the payload and each string under its symbol
// (kInputsSymbols), and the payload's size (u64) under kPayloadSizeSymbol after the payload.
std::vector<uint8_t> launcher_object(const std::vector<uint8_t>& payload,
                                     const LauncherStrings& strings);

// The build-inputs section of an exe built on a stub: the payload and the strings.
std::vector<uint8_t> launcher_section(const std::vector<uint8_t>& payload,
                                      const LauncherStrings& strings);

}  // namespace veldro
