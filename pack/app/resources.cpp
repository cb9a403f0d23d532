// The launcher's resources in both forms (see resources.h).
#include "pack/app/resources.h"

#include <sstream>

#include "pack/base/files.h"
#include "pack/base/text.h"
#include "pack/image/icon.h"

namespace veldro {
namespace {

std::string rc_path(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return rc_string(out);
}

}  // namespace

VersionInfo version_info(const ResourceInfo& info) {
  const LauncherStrings& s = info.strings;
  VersionInfo version;
  version.file_version = version_numbers(utf8_from_utf16(s.file_version));
  version.product_version = version_numbers(utf8_from_utf16(s.product_version));
  version.strings = {
      {"CompanyName", utf8_from_utf16(s.company)},
      {"FileDescription", utf8_from_utf16(s.product)},
      {"FileVersion", utf8_from_utf16(s.file_version)},
      {"OriginalFilename", info.original_filename},
      {"ProductName", utf8_from_utf16(s.product)},
      {"ProductVersion", utf8_from_utf16(s.product_version)},
  };
  return version;
}

std::vector<Resource> launcher_resources(const ResourceInfo& info) {
  std::vector<Resource> resources;
  if (!info.icon_path.empty()) resources = icon_resources(read_icon_file(info.icon_path));
  resources.push_back({kResourceVersion, 1, version_resource(version_info(info))});
  std::string manifest = application_manifest();
  resources.push_back({kResourceManifest, 1, std::vector<uint8_t>(manifest.begin(), manifest.end())});
  return resources;
}

std::string application_manifest() {
  return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="asInvoker" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true</longPathAware>
    </windowsSettings>
  </application>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
  <compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1">
    <application>
      <supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>
      <supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>
      <supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>
      <supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>
      <supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>
    </application>
  </compatibility>
</assembly>
)";
}

void write_resource_script(const std::string& script_path, const ResourceInfo& info) {
  std::string manifest_path = script_path + ".manifest";
  std::ostringstream rc;
  rc << "#pragma code_page(65001)\n";
  if (!info.icon_path.empty()) rc << "1 ICON " << rc_path(info.icon_path) << "\n";
  rc << "1 24 " << rc_path(manifest_path) << "\n";
  rc << version_statement(version_info(info));
  write_file(script_path, rc.str());
  write_file(manifest_path, application_manifest());
}

}  // namespace veldro
