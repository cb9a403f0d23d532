// Resource script writer (see resources.h).
#include "pack/resources.h"

#include <fstream>
#include <sstream>

#include "pack/app_tree.h"

namespace veldro {
namespace {

// The version's numbers as the resource script writes them: "1.2.3" -> "1,2,3,0".
std::string numeric_version(const std::string& text) {
  std::array<uint16_t, 4> parts = version_numbers(text);
  std::ostringstream out;
  out << parts[0] << ',' << parts[1] << ',' << parts[2] << ',' << parts[3];
  return out.str();
}

// A string literal for the resource compiler: quotes doubled, backslashes escaped. A control
// character (a line break in a product name) would end the statement early: refused.
std::string rc_string(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) {
      throw PackError("'" + text + "' holds a control character, which a version resource "
                      "string cannot");
    }
    if (c == '"') out += "\"\"";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out + "\"";
}

std::string rc_path(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return rc_string(out);
}

}  // namespace

// "1.2.3" -> 1, 2, 3, 0; "2.1.0-beta" -> 2, 1, 0, 0; "7 (build 12)" -> 7, 0, 0, 0.
std::array<uint16_t, 4> version_numbers(const std::string& text) {
  std::array<uint16_t, 4> parts = {0, 0, 0, 0};
  size_t i = 0;
  for (size_t part = 0; part < 4 && i < text.size() && text[i] >= '0' && text[i] <= '9'; ++part) {
    unsigned long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      value = value * 10 + static_cast<unsigned>(text[i] - '0');
      if (value > 65535) {
        throw PackError("version '" + text + "' has a number above 65535, which the version "
                        "resource cannot hold");
      }
    }
    parts[part] = static_cast<uint16_t>(value);
    if (i + 1 < text.size() && text[i] == '.' && text[i + 1] >= '0' && text[i + 1] <= '9') ++i;
    else break;
  }
  return parts;
}

std::vector<std::pair<std::string, std::string>> version_strings(const ResourceInfo& info) {
  const LauncherStrings& s = info.strings;
  return {
      {"CompanyName", utf8_from_utf16(s.company)},
      {"FileDescription", utf8_from_utf16(s.product)},
      {"FileVersion", utf8_from_utf16(s.file_version)},
      {"OriginalFilename", info.original_filename},
      {"ProductName", utf8_from_utf16(s.product)},
      {"ProductVersion", utf8_from_utf16(s.product_version)},
  };
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
  const LauncherStrings& s = info.strings;
  std::string file_version = utf8_from_utf16(s.file_version);
  std::string product_version = utf8_from_utf16(s.product_version);
  std::string manifest_path = script_path + ".manifest";

  std::ostringstream rc;
  rc << "#pragma code_page(65001)\n";
  if (!info.icon_path.empty()) rc << "1 ICON " << rc_path(info.icon_path) << "\n";
  rc << "1 24 " << rc_path(manifest_path) << "\n";
  rc << "1 VERSIONINFO\n"
     << "FILEVERSION " << numeric_version(file_version) << "\n"
     << "PRODUCTVERSION " << numeric_version(product_version) << "\n"
     << "FILEFLAGSMASK 0x3f\nFILEFLAGS 0x0\nFILEOS 0x40004\nFILETYPE 0x1\nFILESUBTYPE 0x0\n"
     << "BEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904B0\"\n    BEGIN\n";
  for (const auto& [name, value] : version_strings(info)) {
    rc << "      VALUE \"" << name << "\", " << rc_string(value) << "\n";
  }
  rc << "    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n"
     << "    VALUE \"Translation\", 0x409, 1200\n  END\nEND\n";

  std::ofstream(manifest_path, std::ios::binary) << application_manifest();
  std::ofstream script(script_path, std::ios::binary);
  script << rc.str();
  if (!script) throw PackError("cannot write '" + script_path + "'");
}

}  // namespace veldro
