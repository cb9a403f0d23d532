// The packer's option parsing and the version fields of its resource script, table-driven:
// what a command line or a version string turns into, and what is refused.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pack/app/resources.h"
#include "pack/base/pack_error.h"
#include "pack/base/text.h"
#include "pack/cli/args.h"

namespace fs = std::filesystem;
using namespace veldro;

namespace {

const std::vector<OptionSpec> kOptions = {
    {"--level", OptionKind::kValue}, {"--file", OptionKind::kList}, {"--strict", OptionKind::kFlag}};

ParsedArgs parse(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  return parse_args(static_cast<int>(argv.size()), argv.data(), kOptions);
}

TEST(PackOptions, CommandLinesAndTheirUsageErrors) {
  struct Case {
    std::vector<std::string> args;
    std::string error;  // empty: accepted
    std::string level;
    std::vector<std::string> files, positionals;
  };
  const Case cases[] = {
      {{"--level", "3", "dir"}, "", "3", {}, {"dir"}},
      {{"--level=3"}, "", "3", {}, {}},
      {{"--file", "a", "--file", "b"}, "", "", {"a", "b"}, {}},
      {{"--", "--level", "-x", "--"}, "", "", {}, {"--level", "-x", "--"}},
      {{"-", "dir"}, "", "", {}, {"-", "dir"}},
      {{"--level"}, "--level needs a value", "", {}, {}},
      {{"--level="}, "--level needs a value", "", {}, {}},
      {{"--level", "3", "--level", "3"}, "--level given twice", "", {}, {}},
      {{"--file", "a", "--file=a"}, "--file 'a' given twice", "", {}, {}},
      {{"--strict", "--strict"}, "--strict given twice", "", {}, {}},
      {{"--strict=yes"}, "--strict takes no value", "", {}, {}},
      {{"--levle", "3"}, "unknown option '--levle'", "", {}, {}},
      {{"-x"}, "unknown option '-x'", "", {}, {}},
  };
  for (const Case& c : cases) {
    std::string where = ::testing::PrintToString(c.args);
    if (!c.error.empty()) {
      try {
        parse(c.args);
        ADD_FAILURE() << where << " was accepted";
      } catch (const UsageError& error) {
        EXPECT_EQ(error.what(), c.error) << where;
      }
      continue;
    }
    ParsedArgs parsed = parse(c.args);
    EXPECT_FALSE(parsed.help) << where;
    EXPECT_EQ(parsed.value("--level"), c.level) << where;
    EXPECT_EQ(parsed.list("--file"), c.files) << where;
    EXPECT_EQ(parsed.positionals, c.positionals) << where;
  }
}

TEST(PackOptions, HelpWinsUnlessAfterTheDoubleDash) {
  EXPECT_TRUE(parse({"--levle", "--help"}).help);
  EXPECT_TRUE(parse({"--level", "99", "-h"}).help);
  ParsedArgs after = parse({"--", "--help"});
  EXPECT_FALSE(after.help);
  EXPECT_EQ(after.positionals, std::vector<std::string>{"--help"});
}

// The FILEVERSION line of the resource script written for a file version.
std::string fixed_version(const std::string& version) {
  fs::path script = fs::temp_directory_path() / ("veldro_version_" + std::to_string(getpid()) + ".rc");
  ResourceInfo info;
  info.strings.file_version = utf16_from_utf8(version);
  info.original_filename = "app.exe";
  write_resource_script(script.string(), info);
  std::ifstream in(script);
  std::string line, found;
  while (std::getline(in, line)) {
    if (line.rfind("FILEVERSION ", 0) == 0) found = line.substr(12);
  }
  fs::remove(script);
  fs::remove(script.string() + ".manifest");
  return found;
}

TEST(PackOptions, VersionsOfAnyFormTakeTheirLeadingNumbers) {
  const std::pair<const char*, const char*> cases[] = {
      {"1.2.3.4", "1,2,3,4"},       {"1.2", "1,2,0,0"},         {"2.1.0-beta", "2,1,0,0"},
      {"7 (build 12)", "7,0,0,0"},  {"1.2.3.4.5", "1,2,3,4"},   {"1..2", "1,0,0,0"},
      {"3.", "3,0,0,0"},            {"v1.2", "0,0,0,0"},        {"", "0,0,0,0"},
      {"65535.0.1", "65535,0,1,0"}, {"0001.02", "1,2,0,0"},
  };
  for (const auto& [version, fixed] : cases) EXPECT_EQ(fixed_version(version), fixed) << version;
  EXPECT_THROW(fixed_version("65536"), PackError);
  EXPECT_THROW(fixed_version("1.2.99999999999999999999"), PackError);
}

TEST(PackOptions, ProductStringsWithControlCharactersAreRefused) {
  fs::path script = fs::temp_directory_path() / ("veldro_strings_" + std::to_string(getpid()) + ".rc");
  ResourceInfo info;
  info.strings.company = u"Acme\nEND";
  EXPECT_THROW(write_resource_script(script.string(), info), PackError);
  fs::remove(script);
  fs::remove(script.string() + ".manifest");
}

}  // namespace
