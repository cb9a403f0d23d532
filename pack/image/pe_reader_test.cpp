// The PE reader's model of images made from the packer's own records: the headers, sections,
// directories, exports and imports come back as written, and hostile headers (cut short,
// tables outside the file, huge counts) are refused or bounded instead of read past the file.
#include "pack/image/pe_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "format/byte_order.h"
#include "pack/image/synthetic_pe.h"

namespace veldro {
namespace {

SyntheticPe sample_dll() {
  SyntheticPe spec;
  spec.dll = true;
  spec.exports = {"helper", "run_code"};
  spec.imports = {"KERNEL32.dll", "libstdc++-6.dll"};
  spec.sections = {{".text", std::vector<uint8_t>(700, 0xC3)}};
  return spec;
}

TEST(PeReader, ModelOfAnImageAsItsRecordsHoldIt) {
  std::vector<uint8_t> bytes = synthetic_pe(sample_dll());
  MemorySource source(bytes);
  PeImage image;
  ASSERT_TRUE(read_pe_image(source, &image));
  EXPECT_TRUE(image.is_dll());
  EXPECT_TRUE(image.is_x64());
  EXPECT_EQ(image.optional.start.file_alignment, 0x200u);
  EXPECT_EQ(image.directories.size(), kMaxDirectories);
  ASSERT_EQ(image.sections.size(), 3u);
  EXPECT_EQ(section_name(image.sections[0]), ".edata");
  EXPECT_EQ(section_name(image.sections[2]), ".text");
  EXPECT_EQ(image.sections[2].raw_size, 0x400u);  // 700 bytes at a 512-byte alignment
  EXPECT_EQ(pe_file_extent(image), bytes.size());

  EXPECT_TRUE(exports_name(source, image, "run_code"));
  EXPECT_TRUE(exports_name(source, image, "helper"));
  EXPECT_FALSE(exports_name(source, image, "run_cod"));
  EXPECT_EQ(imported_dlls(source, image), (std::vector<std::string>{"KERNEL32.dll", "libstdc++-6.dll"}));

  uint64_t offset = 0;
  const SectionHeader& text = image.sections[2];
  ASSERT_TRUE(rva_to_offset(image, text.virtual_address + 10, &offset));
  EXPECT_EQ(offset, text.raw_offset + 10u);
  EXPECT_FALSE(rva_to_offset(image, text.virtual_address + text.raw_size, &offset));
}

TEST(PeReader, Pe32ImagesReadTheirOwnLayout) {
  SyntheticPe spec = sample_dll();
  spec.pe32_plus = false;
  spec.machine = 0x14C;
  std::vector<uint8_t> bytes = synthetic_pe(spec);
  MemorySource source(bytes);
  PeImage image;
  ASSERT_TRUE(read_pe_image(source, &image));
  EXPECT_FALSE(image.is_x64());
  EXPECT_EQ(image.directories.size(), kMaxDirectories);
  EXPECT_EQ(imported_dlls(source, image).size(), 2u);
}

// Offsets of the fields the hostile cases change, in the synthetic layout.
constexpr size_t kPeAt = sizeof(DosHeader);
constexpr size_t kFileAt = kPeAt + 4;
constexpr size_t kOptionalAt = kFileAt + sizeof(FileHeader);
constexpr size_t kDirectoriesAt = kOptionalAt + sizeof(OptionalHeader64);

void store16(std::vector<uint8_t>& b, size_t at, uint64_t v) { store_le(&b[at], v, 2); }
void store32(std::vector<uint8_t>& b, size_t at, uint64_t v) { store_le(&b[at], v, 4); }

TEST(PeReader, HostileHeadersAreRefusedOrBounded) {
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    bool image;        // still read as an image
    size_t dlls;       // imports found
    bool exports_run;  // run_code found
  };
  const size_t descriptor_table = 0x400;  // .idata's file offset in the sample
  const Case cases[] = {
      {"as written", [](std::vector<uint8_t>&) {}, true, 2, true},
      {"no MZ", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, false, 0, false},
      {"cut inside the DOS header", [](std::vector<uint8_t>& b) { b.resize(40); }, false, 0, false},
      {"PE offset past the end", [](std::vector<uint8_t>& b) { store32(b, 60, 0xFFFFFFF0); }, false, 0, false},
      {"no PE signature", [](std::vector<uint8_t>& b) { b[kPeAt] = 'N'; }, false, 0, false},
      {"cut inside the optional header", [](std::vector<uint8_t>& b) { b.resize(kOptionalAt + 50); },
       false, 0, false},
      {"an unknown optional header", [](std::vector<uint8_t>& b) { store16(b, kOptionalAt, 0x107); },
       false, 0, false},
      {"an optional header too small for its fields",
       [](std::vector<uint8_t>& b) { store16(b, kFileAt + 16, 100); }, false, 0, false},
      {"97 sections", [](std::vector<uint8_t>& b) { store16(b, kFileAt + 2, 97); }, false, 0, false},
      {"a section table past the end",
       [](std::vector<uint8_t>& b) { store16(b, kFileAt + 2, 96); }, false, 0, false},
      {"a huge directory count",
       [](std::vector<uint8_t>& b) { store32(b, kOptionalAt + 108, 0xFFFFFFFF); }, true, 2, true},
      {"no directories",
       [](std::vector<uint8_t>& b) { store32(b, kOptionalAt + 108, 0); }, true, 0, false},
      {"an import table outside every section",
       [](std::vector<uint8_t>& b) { store32(b, kDirectoriesAt + 8, 0x7FFF0000); }, true, 0, true},
      {"a DLL name without its end",
       [&](std::vector<uint8_t>& b) {
         std::fill(b.begin() + descriptor_table + 60, b.begin() + descriptor_table + 0x200, 'x');
       },
       true, 0, true},
      {"an export name count past the table",
       [](std::vector<uint8_t>& b) { store32(b, 0x200 + 24, 0xFFFFFFFF); }, true, 2, true},
      {"export names outside every section",
       [](std::vector<uint8_t>& b) { store32(b, 0x200 + 32, 0x7FFF0000); }, true, 2, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = synthetic_pe(sample_dll());
    c.damage(bytes);
    MemorySource source(bytes);
    PeImage image;
    bool read = read_pe_image(source, &image);
    EXPECT_EQ(read, c.image) << c.what;
    if (!read) continue;
    EXPECT_EQ(imported_dlls(source, image).size(), c.dlls) << c.what;
    EXPECT_EQ(exports_name(source, image, "run_code"), c.exports_run) << c.what;
  }
}

TEST(PeReader, TheFileExtentCountsTheCertificateTable) {
  std::vector<uint8_t> bytes = synthetic_pe(sample_dll());
  store32(bytes, kDirectoriesAt + 8 * kCertificateDirectory, bytes.size() + 100);
  store32(bytes, kDirectoriesAt + 8 * kCertificateDirectory + 4, 50);
  PeImage image;
  ASSERT_TRUE(read_pe_image(MemorySource(bytes), &image));
  EXPECT_EQ(pe_file_extent(image), bytes.size() + 150);
}

}  // namespace
}  // namespace veldro
