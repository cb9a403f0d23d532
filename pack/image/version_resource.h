// The version information of an exe: its two four-part version numbers and its string values,
// as the binary version resource (VS_VERSIONINFO) and as the statement of a resource script
// that compiles to the same bytes. Relies on pe_format.h and base/. Portable.
#pragma once

#include <stdint.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace veldro {

struct VersionInfo {
  std::array<uint16_t, 4> file_version;
  std::array<uint16_t, 4> product_version;
  std::vector<std::pair<std::string, std::string>> strings;  // name, UTF-8 value, in order
};

// The four numeric fields of a version's fixed part: its leading numbers, up to four,
// dot-separated ("2.1.0-beta" gives 2, 1, 0, 0; "7 (build 12)" 7, 0, 0, 0; none 0.0.0.0).
// Throws PackError on such a number above 65535.
std::array<uint16_t, 4> version_numbers(const std::string& text);

// The resource's bytes: the fixed part (an application for Windows NT, no flags), the string
// table "040904B0" (U.S. English, UTF-16) and the translation entry, each block's lengths as
// the resource compiler counts them.
std::vector<uint8_t> version_resource(const VersionInfo& info);

// The VERSIONINFO statement with id 1 for a resource script. Throws PackError on a control
// character in a string, which would end the statement early.
std::string version_statement(const VersionInfo& info);

// A string literal for a resource script: quotes doubled, backslashes escaped. Throws PackError
// on a control character.
std::string rc_string(const std::string& text);

}  // namespace veldro
