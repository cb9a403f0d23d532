// Writes the seed corpora of the packer's fuzz targets below <dir>: images and exes made by the
// packer's writers on synthetic stubs (pe_image), the stubs themselves (stub), .ico files (ico)
// and build-inputs sections, each after its 8-byte prefix (inputs_section). Run at build time;
// nothing generated is checked in.
#include <stdio.h>

#include <string>
#include <vector>

#include "format/byte_order.h"
#include "pack/app/build_inputs.h"
#include "pack/base/files.h"
#include "pack/image/exe_writer.h"
#include "pack/image/icon.h"
#include "pack/image/pe_format.h"
#include "pack/image/synthetic_pe.h"
#include "pack/payload/payload_writer.h"

using namespace veldro;

namespace {

std::vector<uint8_t> sample_payload(size_t content) {
  std::string stream;
  append_entry_header(stream, u"app.dll", content);
  stream += std::string(content, 'm');
  append_entry_header(stream, u"data\\x.txt", 3);
  stream += "abc";
  append_end_marker(stream);
  FrameOptions options;
  options.level = 3;
  options.threads = 1;
  return wrap_payload(compress_stream(stream, options));
}

std::vector<uint8_t> ico(uint16_t images) {
  std::vector<uint8_t> out;
  append_record(out, IconDir{0, 1, images});
  uint32_t at = static_cast<uint32_t>(sizeof(IconDir) + sizeof(IconDirEntry) * images);
  for (uint16_t i = 0; i < images; ++i) {
    append_record(out, IconDirEntry{16, 16, 0, 0, 1, 32, 4u + i, at});
    at += 4u + i;
  }
  out.resize(at, 0x42);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_pack_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];

  SyntheticPe dll;
  dll.dll = true;
  dll.exports = {"run_code"};
  dll.imports = {"KERNEL32.dll", "libgcc_s_seh-1.dll"};
  SyntheticPe pe32 = dll;
  pe32.pe32_plus = false;
  SyntheticPe gui;
  gui.sections = {{".text", std::vector<uint8_t>(600, 0xC3)}, {".rdata", {1, 2, 3, 4}}};
  gui.imports = {"KERNEL32.dll", "msvcrt.dll"};
  gui.inputs_placeholder = true;
  SyntheticPe console = gui;
  console.subsystem = kSubsystemConsole;

  const std::vector<uint8_t> stubs[] = {synthetic_pe(gui), synthetic_pe(console)};
  for (size_t i = 0; i < 2; ++i) write_file(dir + "/stub/stub_" + std::to_string(i), stubs[i]);

  LauncherStrings strings;
  strings.company = u"Acme";
  std::vector<uint8_t> payload = sample_payload(5000);
  std::vector<uint8_t> section = launcher_section(payload, strings);
  Stub stub = read_stub(MemorySource(stubs[0]));
  std::vector<Resource> resources = icon_resources(read_icon(MemorySource(ico(2))));
  resources.push_back({kResourceManifest, 1, {'<', 'a', '/', '>'}});
  write_file(dir + "/pe_image/exe", build_exe(stub, resources, section));
  write_file(dir + "/pe_image/dll", synthetic_pe(dll));
  write_file(dir + "/pe_image/dll32", synthetic_pe(pe32));
  write_file(dir + "/pe_image/payload", payload);
  write_file(dir + "/pe_image/object", launcher_object(sample_payload(10), strings));

  write_file(dir + "/ico/one", ico(1));
  write_file(dir + "/ico/three", ico(3));

  for (uint32_t virtual_size : {0u, static_cast<uint32_t>(section.size())}) {
    std::vector<uint8_t> seed(8);
    store_le(&seed[0], virtual_size, 4);
    store_le(&seed[4], payload.size(), 4);
    seed.insert(seed.end(), section.begin(), section.end());
    write_file(dir + "/inputs_section/section_" + std::to_string(virtual_size), seed);
  }
  return 0;
}
