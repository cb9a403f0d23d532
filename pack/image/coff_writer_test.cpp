// The COFF writer read back by an independent reader (the MinGW objdump, OBJDUMP): every symbol
// under its name, short or long, at its aligned offset in the one read-only section, whose
// contents are the symbols' bytes with zero padding.
#include "pack/image/coff_writer.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include "pack/base/scratch_dir.h"

namespace veldro {
namespace {

std::string objdump(const std::string& arguments) {
  const char* tool = getenv("OBJDUMP");
  std::string command = std::string(tool ? tool : "x86_64-w64-mingw32-objdump") + " " + arguments;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  std::string out;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << out;
  return out;
}

TEST(CoffWriter, SymbolsSitAtTheirAlignmentUnderTheirNames) {
  const std::vector<uint8_t> three = {0xA1, 0xA2, 0xA3}, five = {0xB1, 0xB2, 0xB3, 0xB4, 0xB5},
                             none = {}, two = {0xC1, 0xC2};
  std::vector<uint8_t> object = coff_object({{"short", &three, 1},
                                             {"a_name_past_eight", &five, 16},
                                             {"empty", &none, 8},
                                             {"eightchr", &two, 2},
                                             {"another_long_name", &none, 4}});
  ScratchDir dir;
  std::string path = dir.write("symbols.obj", object);
  std::string symbols = objdump("-t " + path), contents = objdump("-s -j .rdata " + path);
  const std::pair<const char*, const char*> expected[] = {
      {"short", "0x0000000000000000"},
      {"a_name_past_eight", "0x0000000000000010"},
      {"empty", "0x0000000000000018"},
      {"eightchr", "0x0000000000000018"},
      {"another_long_name", "0x000000000000001c"},
  };
  for (const auto& [name, value] : expected) {
    EXPECT_NE(symbols.find(std::string(value) + " " + name + "\n"), std::string::npos) << name << "\n" << symbols;
  }
  EXPECT_NE(contents.find(" 0000 a1a2a300 00000000 00000000 00000000"), std::string::npos) << contents;
  EXPECT_NE(contents.find(" 0010 b1b2b3b4 b5000000 c1c20000 "), std::string::npos) << contents;
}

}  // namespace
}  // namespace veldro
