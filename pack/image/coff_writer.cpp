// The COFF object writer (see coff_writer.h). The layout is computed first, then one buffer is
// written in file order: header, section header, section data, symbols, string table.
#include "pack/image/coff_writer.h"

#include <string.h>

#include "format/byte_order.h"
#include "pack/image/pe_format.h"

namespace veldro {
namespace {

constexpr size_t kShortNameBytes = sizeof(SymbolRecord::name);

uint32_t align_up(uint32_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

}  // namespace

std::vector<uint8_t> coff_object(const std::vector<CoffSymbol>& symbols) {
  // Layout: each symbol's bytes in the section, each long name in the string table (which
  // starts with its own length).
  std::vector<uint32_t> offsets, name_offsets;
  uint32_t section_size = 0, strings_size = 4;
  for (const CoffSymbol& s : symbols) {
    section_size = align_up(section_size, s.alignment);
    offsets.push_back(section_size);
    section_size += static_cast<uint32_t>(s.bytes->size());
    bool long_name = s.name.size() > kShortNameBytes;
    name_offsets.push_back(long_name ? strings_size : 0);
    if (long_name) strings_size += static_cast<uint32_t>(s.name.size()) + 1;
  }
  const uint32_t data_offset = sizeof(FileHeader) + sizeof(SectionHeader);
  const uint32_t symbols_offset = data_offset + section_size;

  FileHeader header = {};
  header.machine = kMachineAmd64;
  header.section_count = 1;
  header.symbol_table_offset = symbols_offset;
  header.symbol_count = static_cast<uint32_t>(symbols.size());
  SectionHeader section = {};
  strncpy(section.name, ".rdata", sizeof section.name);
  section.raw_size = section_size;
  section.raw_offset = data_offset;
  section.characteristics = kSectionInitializedData | kSectionAlign16 | kSectionReadable;

  std::vector<uint8_t> out;
  out.reserve(symbols_offset + sizeof(SymbolRecord) * symbols.size() + strings_size);
  append_record(out, header);
  append_record(out, section);
  for (size_t i = 0; i < symbols.size(); ++i) {
    out.resize(data_offset + offsets[i], 0);
    out.insert(out.end(), symbols[i].bytes->begin(), symbols[i].bytes->end());
  }
  for (size_t i = 0; i < symbols.size(); ++i) {
    SymbolRecord symbol = {};
    if (name_offsets[i] != 0) {
      store_le(symbol.name + 4, name_offsets[i], 4);
    } else {
      memcpy(symbol.name, symbols[i].name.data(), symbols[i].name.size());
    }
    symbol.value = offsets[i];
    symbol.section = 1;
    symbol.storage_class = kStorageExternal;
    append_record(out, symbol);
  }
  std::vector<uint8_t> length(4);
  store_le(length.data(), strings_size, 4);
  out.insert(out.end(), length.begin(), length.end());
  for (const CoffSymbol& s : symbols) {
    if (s.name.size() > kShortNameBytes) out.insert(out.end(), s.name.c_str(), s.name.c_str() + s.name.size() + 1);
  }
  return out;
}

}  // namespace veldro
