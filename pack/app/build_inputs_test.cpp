// The build inputs in both forms: the section as the packer writes it and the launcher reads
// it (what is written reads back field by field, and every way a damaged section could send
// the launcher's reads outside it is refused), and the object, read by an independent reader.
#include "pack/app/build_inputs.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "format/build_inputs.h"
#include "format/byte_order.h"
#include "pack/base/files.h"
#include "pack/base/scratch_dir.h"

namespace veldro {
namespace {

std::vector<uint8_t> sample_section() {
  LauncherStrings strings;
  strings.company = u"Acme";
  strings.product_version = u"2.0-beta";
  return launcher_section({'K', 'A', 'Y', 1, 2, 3, 4, 5, 6}, strings);
}

void store64(std::vector<uint8_t>& bytes, size_t at, uint64_t v) {
  store_le(&bytes[at], v, 8);
}

size_t offset_field(InputsField field) { return 16 + 16 * field; }
size_t size_field(InputsField field) { return 24 + 16 * field; }

std::u16string string_at(const std::vector<uint8_t>& section, const InputsSpan& span) {
  std::u16string text;
  for (uint64_t i = 0; i + 2 < span.size; i += 2) {
    const uint8_t* unit = &section[span.offset + i];
    text.push_back(static_cast<char16_t>(load_le(unit, 2)));
  }
  return text;
}

TEST(BuildInputsSection, WhatThePackerWritesTheLauncherReadsBack) {
  std::vector<uint8_t> section = sample_section();
  InputsSpan fields[kInputsFieldCount];
  ASSERT_TRUE(read_inputs_section(section.data(), section.size(), fields));

  const InputsSpan& payload = fields[kInputsPayload];
  EXPECT_EQ(payload.offset % 16, 0u);
  EXPECT_EQ(std::vector<uint8_t>(section.begin() + payload.offset,
                                 section.begin() + payload.offset + payload.size),
            std::vector<uint8_t>({'K', 'A', 'Y', 1, 2, 3, 4, 5, 6}));
  const std::pair<InputsField, std::u16string> strings[] = {
      {kInputsDirSpec, u"{TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM}"},
      {kInputsCompany, u"Acme"},
      {kInputsProduct, u"Quill Beacon"},
      {kInputsVersion, u"2.0-beta-1.0.0.0"},
      {kInputsFileVersion, u"1.0.0.0"},
      {kInputsProductVersion, u"2.0-beta"},
  };
  for (const auto& [field, text] : strings) {
    EXPECT_EQ(string_at(section, fields[field]), text) << field;
  }
}

TEST(BuildInputsSection, DamageThatWouldLeadReadsAstrayIsRefused) {
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    bool accepted;
  };
  const Case cases[] = {
      {"as written", [](std::vector<uint8_t>&) {}, true},
      {"the stub's placeholder: every field absent",
       [](std::vector<uint8_t>& s) {
         s.resize(kInputsHeaderBytes);
         std::fill(s.begin() + 16, s.end(), 0);
       },
       true},
      {"shorter than its header",
       [](std::vector<uint8_t>& s) { s.resize(kInputsHeaderBytes - 1); }, false},
      {"another magic", [](std::vector<uint8_t>& s) { s[0] = 'X'; }, false},
      {"another layout version", [](std::vector<uint8_t>& s) { s[8] = 2; }, false},
      {"another field count", [](std::vector<uint8_t>& s) { s[12] = 8; }, false},
      {"the payload running past the end",
       [](std::vector<uint8_t>& s) { store64(s, size_field(kInputsPayload), s.size()); }, false},
      {"an offset that wraps around with its size",
       [](std::vector<uint8_t>& s) { store64(s, offset_field(kInputsPayload), ~uint64_t{0} - 7); },
       false},
      {"a string cut at the section's end",
       [](std::vector<uint8_t>& s) { s.resize(s.size() - 2); }, false},
      {"a string without its terminator",
       [](std::vector<uint8_t>& s) {
         InputsSpan fields[kInputsFieldCount];
         read_inputs_section(s.data(), s.size(), fields);
         s[fields[kInputsCompany].offset + fields[kInputsCompany].size - 2] = 'x';
       },
       false},
      {"a string at an odd offset",
       [](std::vector<uint8_t>& s) { s[offset_field(kInputsDirSpec)] += 1; }, false},
      {"a string of an odd size",
       [](std::vector<uint8_t>& s) { s[size_field(kInputsProduct)] += 1; }, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> section = sample_section();
    c.damage(section);
    InputsSpan fields[kInputsFieldCount];
    EXPECT_EQ(read_inputs_section(section.data(), section.size(), fields), c.accepted) << c.what;
  }
}

TEST(CoffObject, CarriesThePayloadAndStringsUnderTheLauncherSymbols) {
  std::vector<uint8_t> payload = {'K', 'A', 'Y', 1, 2, 3, 4, 5, 6, 7, 8};
  LauncherStrings strings;
  strings.company = u"Acme";
  std::vector<uint8_t> object = launcher_object(payload, strings);

  // Checked by an independent reader: the MinGW objdump's symbol table and section contents.
  ScratchDir dir;
  std::string path = dir.write("launcher.obj", object);
  const char* objdump = getenv("OBJDUMP");
  std::string command = std::string(objdump ? objdump : "x86_64-w64-mingw32-objdump") + " -t -s " + path;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string dump;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) dump.append(buffer, n);
  ASSERT_EQ(pclose(pipe), 0) << dump;

  for (const char* symbol : {"veldro_payload", "veldro_payload_size", "veldro_dir_spec",
                             "veldro_company", "veldro_product", "veldro_version",
                             "veldro_file_version", "veldro_product_version"}) {
    EXPECT_NE(dump.find(std::string(" ") + symbol + "\n"), std::string::npos) << symbol << "\n" << dump;
  }
  EXPECT_NE(dump.find("4b415901 02030405"), std::string::npos) << dump;  // "KAY" and the bytes
}

}  // namespace
}  // namespace veldro
