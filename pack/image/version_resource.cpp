// The version resource and its resource-script form (see version_resource.h).
#include "pack/image/version_resource.h"

#include <sstream>

#include "format/byte_order.h"
#include "pack/base/pack_error.h"
#include "pack/base/text.h"
#include "pack/image/pe_format.h"
#include "pack/image/resource_section.h"

namespace veldro {
namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedStructVersion = 0x00010000;
constexpr uint32_t kFlagsMask = 0x3F;
constexpr uint32_t kOsWindowsNt = 0x40004;  // Windows NT, 32-bit API
constexpr uint32_t kTypeApplication = 1;
constexpr uint16_t kCodePageUtf16 = 1200;

void pad4(std::vector<uint8_t>& out) { out.resize((out.size() + 3) / 4 * 4, 0); }

// One block: its header, its key, the value and the child blocks, each starting on a 4-byte
// boundary. The length counts everything up to the end of the last child, without padding
// after it; value_length counts bytes, or UTF-16 units for text.
std::vector<uint8_t> version_block(const std::u16string& key, const std::vector<uint8_t>& value,
                                   uint16_t value_length, bool text,
                                   const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> out(sizeof(VersionBlockHeader), 0);
  std::vector<uint8_t> name = utf16_bytes(key);
  out.insert(out.end(), name.begin(), name.end());
  pad4(out);
  out.insert(out.end(), value.begin(), value.end());
  for (const std::vector<uint8_t>& child : children) {
    pad4(out);
    out.insert(out.end(), child.begin(), child.end());
  }
  store_record(out, 0, VersionBlockHeader{static_cast<uint16_t>(out.size()), value_length,
                                          static_cast<uint16_t>(text ? 1 : 0)});
  return out;
}

uint32_t high_word_pair(const std::array<uint16_t, 4>& v, size_t first) {
  return uint32_t{v[first]} << 16 | v[first + 1];
}

std::string numeric_version(const std::array<uint16_t, 4>& v) {
  std::ostringstream out;
  out << v[0] << ',' << v[1] << ',' << v[2] << ',' << v[3];
  return out.str();
}

}  // namespace

std::array<uint16_t, 4> version_numbers(const std::string& text) {
  std::array<uint16_t, 4> parts = {0, 0, 0, 0};
  auto digit = [&](size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
  size_t i = 0;
  for (size_t part = 0; part < 4 && digit(i); ++part) {
    unsigned long value = 0;
    for (; digit(i); ++i) {
      value = value * 10 + static_cast<unsigned>(text[i] - '0');
      if (value > 65535) {
        throw PackError("version '" + text + "' has a number above 65535, which the version "
                        "resource cannot hold");
      }
    }
    parts[part] = static_cast<uint16_t>(value);
    if (i < text.size() && text[i] == '.' && digit(i + 1)) {
      ++i;
    } else {
      break;
    }
  }
  return parts;
}

std::vector<uint8_t> version_resource(const VersionInfo& info) {
  const FixedFileInfo fixed = {kFixedSignature,
                               kFixedStructVersion,
                               high_word_pair(info.file_version, 0),
                               high_word_pair(info.file_version, 2),
                               high_word_pair(info.product_version, 0),
                               high_word_pair(info.product_version, 2),
                               kFlagsMask,
                               0,
                               kOsWindowsNt,
                               kTypeApplication,
                               0,
                               0,
                               0};
  std::vector<uint8_t> fixed_bytes;
  append_record(fixed_bytes, fixed);

  std::vector<std::vector<uint8_t>> strings;
  for (const auto& [name, value] : info.strings) {
    std::u16string text = utf16_from_utf8(value);
    strings.push_back(version_block(utf16_from_utf8(name), utf16_bytes(text),
                                    static_cast<uint16_t>(text.size() + 1), true, {}));
  }
  std::vector<uint8_t> translation(4);
  store_le(&translation[0], kLanguageEnglishUs, 2);
  store_le(&translation[2], kCodePageUtf16, 2);
  return version_block(
      u"VS_VERSION_INFO", fixed_bytes, static_cast<uint16_t>(fixed_bytes.size()), false,
      {version_block(u"StringFileInfo", {}, 0, true,
                     {version_block(u"040904B0", {}, 0, true, strings)}),
       version_block(u"VarFileInfo", {}, 0, true,
                     {version_block(u"Translation", translation, 4, false, {})})});
}

std::string version_statement(const VersionInfo& info) {
  std::ostringstream rc;
  rc << "1 VERSIONINFO\n"
     << "FILEVERSION " << numeric_version(info.file_version) << "\n"
     << "PRODUCTVERSION " << numeric_version(info.product_version) << "\n"
     << "FILEFLAGSMASK 0x3f\nFILEFLAGS 0x0\nFILEOS 0x40004\nFILETYPE 0x1\nFILESUBTYPE 0x0\n"
     << "BEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904B0\"\n    BEGIN\n";
  for (const auto& [name, value] : info.strings) {
    rc << "      VALUE \"" << name << "\", " << rc_string(value) << "\n";
  }
  rc << "    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n"
     << "    VALUE \"Translation\", 0x409, 1200\n  END\nEND\n";
  return rc.str();
}

std::string rc_string(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) {
      throw PackError("'" + text + "' holds a control character, which a version resource "
                      "string cannot");
    }
    if (c == '"') {
      out += "\"\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace veldro
