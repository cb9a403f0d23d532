// COFF object writer (see coff_object.h). The whole layout is computed first, then one buffer
// is written in file order: header, section header, section data, symbols, string table.
#include "pack/coff_object.h"

#include "pack/byte_order.h"

namespace veldro {
namespace {

constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint32_t kFileHeaderBytes = 20;
constexpr uint32_t kSectionHeaderBytes = 40;
constexpr uint32_t kSymbolBytes = 18;
// Initialized data, 16-byte aligned, readable.
constexpr uint32_t kReadOnlyData = 0x00000040 | 0x00500000 | 0x40000000;
constexpr uint8_t kStorageExternal = 2;

void put_name8(std::vector<uint8_t>& out, const std::string& name) {
  for (size_t i = 0; i < 8; ++i) out.push_back(i < name.size() ? name[i] : 0);
}

}  // namespace

std::vector<uint8_t> utf16_bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

std::vector<uint8_t> coff_object(const std::vector<CoffSymbol>& symbols) {
  // Layout: where each symbol's bytes sit in the section, and the names that need the
  // string table (longer than 8 bytes).
  std::vector<uint32_t> offsets;
  uint32_t section_size = 0;
  for (const CoffSymbol& s : symbols) {
    section_size = (section_size + s.alignment - 1) / s.alignment * s.alignment;
    offsets.push_back(section_size);
    section_size += static_cast<uint32_t>(s.bytes.size());
  }
  std::vector<uint32_t> name_offsets;
  uint32_t strings_size = 4;  // the table starts with its own length
  for (const CoffSymbol& s : symbols) {
    name_offsets.push_back(s.name.size() > 8 ? strings_size : 0);
    if (s.name.size() > 8) strings_size += static_cast<uint32_t>(s.name.size()) + 1;
  }
  uint32_t data_offset = kFileHeaderBytes + kSectionHeaderBytes;
  uint32_t symbols_offset = data_offset + section_size;

  std::vector<uint8_t> out;
  out.reserve(symbols_offset + kSymbolBytes * symbols.size() + strings_size);
  put16(out, kMachineAmd64);
  put16(out, 1);  // sections
  put32(out, 0);  // time stamp: none, so that builds are reproducible
  put32(out, symbols_offset);
  put32(out, static_cast<uint32_t>(symbols.size()));
  put16(out, 0);  // optional header size
  put16(out, 0);  // characteristics

  put_name8(out, ".rdata");
  put32(out, 0);  // virtual size
  put32(out, 0);  // virtual address
  put32(out, section_size);
  put32(out, data_offset);
  put32(out, 0);  // relocations
  put32(out, 0);  // line numbers
  put16(out, 0);
  put16(out, 0);
  put32(out, kReadOnlyData);

  for (size_t i = 0; i < symbols.size(); ++i) {
    out.resize(data_offset + offsets[i], 0);
    out.insert(out.end(), symbols[i].bytes.begin(), symbols[i].bytes.end());
  }
  out.resize(symbols_offset, 0);

  for (size_t i = 0; i < symbols.size(); ++i) {
    if (name_offsets[i] != 0) {
      put32(out, 0);
      put32(out, name_offsets[i]);
    } else {
      put_name8(out, symbols[i].name);
    }
    put32(out, offsets[i]);
    put16(out, 1);  // section number
    put16(out, 0);  // type: data
    out.push_back(kStorageExternal);
    out.push_back(0);  // auxiliary records
  }

  put32(out, strings_size);
  for (const CoffSymbol& s : symbols) {
    if (s.name.size() > 8) {
      out.insert(out.end(), s.name.begin(), s.name.end());
      out.push_back(0);
    }
  }
  return out;
}

std::vector<uint8_t> launcher_object(const std::vector<uint8_t>& payload,
                                     const LauncherStrings& strings) {
  std::vector<uint8_t> size_bytes;
  for (int i = 0; i < 8; ++i) size_bytes.push_back(static_cast<uint8_t>(payload.size() >> (8 * i)));
  return coff_object({
      {"veldro_payload", payload, 16},
      {"veldro_payload_size", size_bytes, 8},
      {"veldro_dir_spec", utf16_bytes(strings.dir_spec), 2},
      {"veldro_company", utf16_bytes(strings.company), 2},
      {"veldro_product", utf16_bytes(strings.product), 2},
      {"veldro_version", utf16_bytes(strings.version()), 2},
      {"veldro_file_version", utf16_bytes(strings.file_version), 2},
      {"veldro_product_version", utf16_bytes(strings.product_version), 2},
  });
}

}  // namespace veldro
