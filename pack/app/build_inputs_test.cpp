// The build inputs in both forms the packer writes: the section, as the launcher reads it back
// field by field (the reader's refusals of damaged sections: format/build_inputs_test.cpp), and
// the object, read by an independent reader.
#include "pack/app/build_inputs.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

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
