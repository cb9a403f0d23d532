// The launcher exe's resources: version information from the product strings, the
// application manifest, and an optional icon, written as a resource script (.rc) and a manifest
// file for the resource compiler (windres or rc.exe). Portable.
#pragma once

#include <stdint.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "pack/coff_object.h"

namespace veldro {

struct ResourceInfo {
  LauncherStrings strings;
  std::string original_filename;  // the exe's file name, e.g. "app.exe"
  std::string icon_path;          // empty: no icon
};

// The four numeric fields of a version's fixed part: its leading numbers, up to four,
// dot-separated ("2.1.0-beta" gives 2, 1, 0, 0; none gives 0.0.0.0). Throws PackError on such a
// number above 65535.
std::array<uint16_t, 4> version_numbers(const std::string& text);

// The version information's string values, by name, in the order the resource holds them.
std::vector<std::pair<std::string, std::string>> version_strings(const ResourceInfo& info);

// Writes <script_path> and, beside it, <script_path>.manifest. The versions may be any text
// ("2.1.0-beta"): the string fields carry it whole, the numeric fields its leading numbers
// (up to four, dot-separated; none gives 0.0.0.0). Throws PackError on such a number above
// 65535, a control character in a string, or an unwritable file.
void write_resource_script(const std::string& script_path, const ResourceInfo& info);

// The manifest text: asInvoker without UI access, long-path aware, Common Controls 6, and the
// supported-OS identifiers of Windows Vista through Windows 10.
std::string application_manifest();

}  // namespace veldro
