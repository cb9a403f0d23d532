// The launcher exe's resources: version information from the product strings, the application
// manifest and an optional icon; as the binary resources of an exe built on a stub, and as a
// resource script (.rc) with a manifest file beside it for the resource compiler (windres or
// rc.exe) on the linked route. Both give the same resources. Relies on image/ and base/.
// Portable.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "pack/app/build_inputs.h"
#include "pack/image/resource_section.h"
#include "pack/image/version_resource.h"

namespace veldro {

struct ResourceInfo {
  LauncherStrings strings;
  std::string original_filename;  // the exe's file name, e.g. "app.exe"
  std::string icon_path;          // empty: no icon
};

// The version information: the versions' leading numbers (throws PackError on one above
// 65535, file version first) and the strings CompanyName, FileDescription, FileVersion,
// OriginalFilename, ProductName and ProductVersion, in that order.
VersionInfo version_info(const ResourceInfo& info);

// The resources sorted by type, then id: the icon's images (ids 1 to n) and its group (id 1)
// when there is an icon, the version information and the manifest (id 1). Throws PackError on
// an icon that is no .ico file and on versions that version_numbers refuses.
std::vector<Resource> launcher_resources(const ResourceInfo& info);

// Writes <script_path> and, beside it, <script_path>.manifest. Throws PackError on a version
// number above 65535, a control character in a string or a path, or an unwritable file.
void write_resource_script(const std::string& script_path, const ResourceInfo& info);

// The manifest text: asInvoker without UI access, long-path aware, Common Controls 6, and the
// supported-OS identifiers of Windows Vista through Windows 10.
std::string application_manifest();

}  // namespace veldro
