// Build-time checks of the main DLL and the icon (see pe_check.h).
#include "pack/pe_check.h"

#include "pack/app_tree.h"
#include "pack/byte_source.h"
#include "pack/pe_image.h"

namespace veldro {

void check_main_dll(const std::string& path) {
  FileSource file(path, "a DLL");
  auto refuse = [&](const std::string& why) { throw PackError("main file '" + path + "' " + why); };
  PeImage image;
  if (!read_pe_image(file, &image) || !image.is_x64() || !image.is_dll()) {
    refuse("is not a 64-bit PE DLL");
  }
  if (!exports_name(file, image, "run_code")) refuse("has no run_code export");
}

void check_icon(const std::string& path) {
  FileSource file(path, "an icon");
  auto refuse = [&]() { throw PackError("icon '" + path + "' is not a valid .ico file"); };
  auto u16 = [&](uint64_t at) {
    uint8_t b[2];
    if (!file.read(at, b, 2)) refuse();
    return static_cast<uint32_t>(b[0] | b[1] << 8);
  };
  auto u32 = [&](uint64_t at) { return u16(at) | u16(at + 2) << 16; };
  // ICONDIR: reserved 0, type 1, count; then 16-byte entries pointing at the images.
  if (u16(0) != 0 || u16(2) != 1 || u16(4) == 0) refuse();
  uint32_t count = u16(4);
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t entry = 6 + 16ull * i;
    uint64_t size = u32(entry + 8);
    uint64_t offset = u32(entry + 12);
    if (size == 0 || offset < 6 + 16ull * count || offset + size > file.size()) refuse();
  }
}

}  // namespace veldro
