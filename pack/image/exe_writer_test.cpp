// An exe built on a synthetic stub, read back through the PE reader: the stub's sections as
// they were, the resource and build-inputs sections after them, the headers made to match,
// the checksum right; and the stubs read_stub refuses, with their reason.
#include "pack/image/exe_writer.h"

#include <gtest/gtest.h>

#include <functional>

#include "format/byte_order.h"
#include "pack/base/pack_error.h"
#include "pack/image/inputs_section.h"
#include "pack/image/synthetic_pe.h"

namespace veldro {
namespace {

SyntheticPe sample_stub() {
  SyntheticPe spec;
  spec.sections = {{".text", std::vector<uint8_t>(3000, 0x90)}, {".data", {1, 2, 3}}};
  spec.inputs_placeholder = true;
  return spec;
}

constexpr size_t kFileAt = sizeof(DosHeader) + 4;
constexpr size_t kOptionalAt = kFileAt + sizeof(FileHeader);
constexpr size_t kDirectoriesAt = kOptionalAt + sizeof(OptionalHeader64);
constexpr size_t kTableAt = kDirectoriesAt + kMaxDirectories * sizeof(DataDirectory);

Stub stub_of(const std::vector<uint8_t>& bytes) { return read_stub(MemorySource(bytes)); }

TEST(ExeWriter, TheModelOfTheBuiltExeMatchesItsContents) {
  std::vector<uint8_t> stub_bytes = synthetic_pe(sample_stub());
  // A signed stub: its signature would not cover the exe.
  store_le(&stub_bytes[kDirectoriesAt + 8 * kCertificateDirectory], 0x200, 4);
  store_le(&stub_bytes[kDirectoriesAt + 8 * kCertificateDirectory + 4], 16, 4);
  const Stub stub = stub_of(stub_bytes);
  const std::vector<Resource> resources = {{kResourceManifest, 1, std::vector<uint8_t>(1000, 'm')}};
  const std::vector<uint8_t> inputs(70000, 0xAB);
  const std::vector<uint8_t> exe = build_exe(stub, resources, inputs);

  MemorySource source(exe);
  PeImage image;
  ASSERT_TRUE(read_pe_image(source, &image));
  ASSERT_EQ(image.sections.size(), 4u);
  const SectionHeader &text = image.sections[0], &rsrc = image.sections[2], &veldro = image.sections[3];
  EXPECT_EQ(section_name(rsrc), ".rsrc");
  EXPECT_EQ(section_name(veldro), ".veldro");
  const SectionHeader& placeholder = stub.image.sections.back();
  EXPECT_EQ(rsrc.virtual_address, placeholder.virtual_address);
  EXPECT_EQ(rsrc.raw_offset, placeholder.raw_offset);
  EXPECT_EQ(veldro.virtual_address % 0x1000, 0u);
  EXPECT_GE(veldro.virtual_address, rsrc.virtual_address + rsrc.virtual_size);
  EXPECT_EQ(veldro.raw_offset, rsrc.raw_offset + rsrc.raw_size);
  EXPECT_EQ(veldro.virtual_size, inputs.size());
  EXPECT_EQ(veldro.raw_size % 0x200, 0u);
  EXPECT_EQ(exe.size(), veldro.raw_offset + veldro.raw_size);
  EXPECT_EQ(image.optional.start.image_size, (veldro.virtual_address + inputs.size() + 0xFFF) / 0x1000 * 0x1000);
  EXPECT_EQ(image.optional.start.initialized_data_size,
            stub.image.optional.start.initialized_data_size - placeholder.raw_size + rsrc.raw_size +
                veldro.raw_size);
  EXPECT_EQ(image.directory(kResourceDirectory).rva, rsrc.virtual_address);
  EXPECT_EQ(image.directory(kResourceDirectory).size, rsrc.virtual_size);
  EXPECT_EQ(image.directory(kCertificateDirectory).rva, 0u);
  EXPECT_EQ(image.directory(kCertificateDirectory).size, 0u);
  EXPECT_EQ(image.optional.start.checksum, pe_checksum(exe, checksum_offset(image)));

  // Contents: the stub's own sections byte for byte, then the new ones.
  EXPECT_TRUE(std::equal(stub_bytes.begin() + text.raw_offset,
                         stub_bytes.begin() + placeholder.raw_offset, exe.begin() + text.raw_offset));
  EXPECT_EQ(std::vector<uint8_t>(exe.begin() + rsrc.raw_offset, exe.begin() + rsrc.raw_offset + rsrc.virtual_size),
            resource_section(resources, rsrc.virtual_address));
  EXPECT_TRUE(std::equal(inputs.begin(), inputs.end(), exe.begin() + veldro.raw_offset));
}

TEST(ExeWriter, TheChecksumIsTheFoldedSumOfWordsPlusTheLength) {
  // The four bytes at 2 are the field and count as zero; an odd last byte is a word of its own.
  EXPECT_EQ(pe_checksum({1, 2, 9, 9, 9, 9, 5}, 2), 0x0201u + 0x0005 + 7);
  // 0xFFFF + 0x0002 carries: 0x10001 folds to 0x0002.
  EXPECT_EQ(pe_checksum({0xFF, 0xFF, 7, 7, 7, 7, 2, 0}, 2), 0x0002u + 8);
}

TEST(ExeWriter, StubsThatCannotCarryALauncherAreRefusedWithTheirReason) {
  struct Case {
    const char* what;
    std::function<void(SyntheticPe&)> spec;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* reason;  // a part of the refusal, or null when accepted
  };
  const auto none = [](std::vector<uint8_t>&) {};
  const auto same = [](SyntheticPe&) {};
  const char kNoProgram[] = "is not a 64-bit Windows program";
  const char kOverlap[] = "has section data that overlaps its headers or its payload section";
  const Case cases[] = {
      {"a stub", same, none, nullptr},
      {"a console stub", [](SyntheticPe& s) { s.subsystem = kSubsystemConsole; }, none, nullptr},
      {"a DLL", [](SyntheticPe& s) { s.dll = true; }, none, kNoProgram},
      {"a 32-bit exe", [](SyntheticPe& s) { s.pe32_plus = false; }, none, kNoProgram},
      {"a native subsystem", [](SyntheticPe& s) { s.subsystem = 1; }, none, kNoProgram},
      {"no PE at all", same, [](std::vector<uint8_t>& b) { b[0] = 0; }, kNoProgram},
      {"a file alignment of 3", same, [](std::vector<uint8_t>& b) { store_le(&b[kOptionalAt + 36], 3, 4); },
       kNoProgram},
      {"a file alignment of 128 KiB", same,
       [](std::vector<uint8_t>& b) { store_le(&b[kOptionalAt + 36], 0x20000, 4); }, kNoProgram},
      {"sections aligned finer than the file", same,
       [](std::vector<uint8_t>& b) { store_le(&b[kOptionalAt + 32], 0x100, 4); }, kNoProgram},
      {"four directories", same, [](std::vector<uint8_t>& b) { store_le(&b[kOptionalAt + 108], 4, 4); },
       kNoProgram},
      {"cut short", same, [](std::vector<uint8_t>& b) { b.resize(b.size() - 1); },
       "is cut short: its headers promise"},
      {"no placeholder", [](SyntheticPe& s) { s.inputs_placeholder = false; }, none,
       "has no payload section (.veldro) at the end"},
      {"a placeholder not last", [](SyntheticPe& s) { s.sections.push_back({".reloc", {1}}); },
       [](std::vector<uint8_t>& b) {
         // Swap the last two section headers: .veldro then .reloc.
         std::swap_ranges(b.begin() + kTableAt + 2 * 40, b.begin() + kTableAt + 3 * 40,
                          b.begin() + kTableAt + 3 * 40);
       },
       "has no payload section (.veldro) at the end"},
      {"section data inside the headers", same,
       [](std::vector<uint8_t>& b) { store_le(&b[kTableAt + 20], 1, 4); }, kOverlap},
      {"section data over the placeholder's", same,
       [](std::vector<uint8_t>& b) { store_le(&b[kTableAt + 40 + 20], b.size() - 0x200, 4); }, kOverlap},
      {"another layout version", same, [](std::vector<uint8_t>& b) { b[b.size() - 0x200 + 8] = 2; },
       "of another layout than this packer writes"},
      {"resources already", same,
       [](std::vector<uint8_t>& b) { store_le(&b[kDirectoriesAt + 8 * kResourceDirectory], 0x1000, 4); },
       "already carries resources"},
      {"no room for a section header", same,
       [](std::vector<uint8_t>& b) { store_le(&b[kOptionalAt + 60], 0x1A0, 4); }, "has no room in its headers"},
  };
  for (const Case& c : cases) {
    SyntheticPe spec = sample_stub();
    c.spec(spec);
    std::vector<uint8_t> bytes = synthetic_pe(spec);
    c.damage(bytes);
    std::string refusal;
    try {
      Stub stub = stub_of(bytes);
      EXPECT_EQ(stub.console, spec.subsystem == kSubsystemConsole) << c.what;
    } catch (const PackError& error) {
      refusal = error.what();
    }
    if (c.reason == nullptr) {
      EXPECT_EQ(refusal, "") << c.what;
    } else {
      EXPECT_EQ(refusal.rfind("stub 'payload' ", 0), 0u) << c.what << ": " << refusal;
      EXPECT_NE(refusal.find(c.reason), std::string::npos) << c.what << ": " << refusal;
    }
  }
}

}  // namespace
}  // namespace veldro
