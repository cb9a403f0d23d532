// Build-time checks of the main DLL and the icon (see pe_check.h).
#include "pack/pe_check.h"

#include <cstring>
#include <vector>

#include "pack/app_tree.h"
#include "pack/inspect.h"

namespace veldro {
namespace {

constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kFileIsDll = 0x2000;
constexpr uint16_t kOptionalHeaderPe32Plus = 0x20B;

struct Bytes {
  const std::vector<uint8_t>& data;
  bool has(uint64_t offset, uint64_t size) const {
    return offset <= data.size() && size <= data.size() - offset;
  }
  uint32_t u16(uint64_t offset) const { return data[offset] | data[offset + 1] << 8; }
  uint32_t u32(uint64_t offset) const {
    return u16(offset) | static_cast<uint32_t>(u16(offset + 2)) << 16;
  }
};

// Maps a relative virtual address to a file offset through the section table; false when no
// section holds it.
bool rva_to_offset(const Bytes& pe, uint64_t sections, uint32_t count, uint32_t rva,
                   uint64_t* offset) {
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t header = sections + 40ull * i;
    if (!pe.has(header, 40)) return false;
    uint32_t virtual_address = pe.u32(header + 12);
    uint32_t virtual_size = pe.u32(header + 8);
    uint32_t raw_size = pe.u32(header + 16);
    uint32_t raw_offset = pe.u32(header + 20);
    uint32_t extent = virtual_size > raw_size ? virtual_size : raw_size;
    if (rva >= virtual_address && rva - virtual_address < extent) {
      *offset = static_cast<uint64_t>(raw_offset) + (rva - virtual_address);
      return true;
    }
  }
  return false;
}

bool exports_run_code(const Bytes& pe, uint64_t sections, uint32_t section_count,
                      uint32_t export_rva) {
  uint64_t directory;
  if (export_rva == 0 || !rva_to_offset(pe, sections, section_count, export_rva, &directory) ||
      !pe.has(directory, 40)) {
    return false;
  }
  uint32_t name_count = pe.u32(directory + 24);
  uint64_t names;
  if (!rva_to_offset(pe, sections, section_count, pe.u32(directory + 32), &names)) return false;
  for (uint32_t i = 0; i < name_count; ++i) {
    uint64_t name;
    if (!pe.has(names + 4ull * i, 4) ||
        !rva_to_offset(pe, sections, section_count, pe.u32(names + 4ull * i), &name) ||
        !pe.has(name, 9)) {
      return false;
    }
    if (std::memcmp(&pe.data[name], "run_code", 9) == 0) return true;
  }
  return false;
}

}  // namespace

void check_main_dll(const std::string& path) {
  std::vector<uint8_t> data = read_file_bytes(path);
  Bytes pe{data};
  auto refuse = [&](const std::string& why) { throw PackError("main file '" + path + "' " + why); };

  if (!pe.has(0, 64) || data[0] != 'M' || data[1] != 'Z') refuse("is not a 64-bit PE DLL");
  uint64_t header = pe.u32(60);
  if (!pe.has(header, 24) || std::memcmp(&data[header], "PE\0\0", 4) != 0) {
    refuse("is not a 64-bit PE DLL");
  }
  uint32_t machine = pe.u16(header + 4);
  uint32_t section_count = pe.u16(header + 6);
  uint32_t optional_size = pe.u16(header + 20);
  uint32_t characteristics = pe.u16(header + 22);
  uint64_t optional = header + 24;
  if (machine != kMachineAmd64 || !(characteristics & kFileIsDll) || !pe.has(optional, 2) ||
      pe.u16(optional) != kOptionalHeaderPe32Plus || optional_size < 120 ||
      !pe.has(optional, optional_size)) {
    refuse("is not a 64-bit PE DLL");
  }
  uint32_t export_rva = pe.u32(optional + 112);  // data directory 0: exports
  if (!exports_run_code(pe, optional + optional_size, section_count, export_rva)) {
    refuse("has no run_code export");
  }
}

void check_icon(const std::string& path) {
  std::vector<uint8_t> data = read_file_bytes(path);
  Bytes ico{data};
  auto refuse = [&]() { throw PackError("icon '" + path + "' is not a valid .ico file"); };
  // ICONDIR: reserved 0, type 1, count; then 16-byte entries pointing at the images.
  if (!ico.has(0, 6) || ico.u16(0) != 0 || ico.u16(2) != 1 || ico.u16(4) == 0) refuse();
  uint32_t count = ico.u16(4);
  if (!ico.has(6, 16ull * count)) refuse();
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t entry = 6 + 16ull * i;
    uint32_t size = ico.u32(entry + 8);
    uint32_t offset = ico.u32(entry + 12);
    if (size == 0 || offset < 6 + 16ull * count || !ico.has(offset, size)) refuse();
  }
}

}  // namespace veldro
