// The packer's option parsing, table-driven: what a command line turns into, and what is
// refused; and the product strings a resource script cannot hold.
#include "pack/cli/args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pack/app/resources.h"
#include "pack/base/scratch_dir.h"

namespace veldro {
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

TEST(PackOptions, ProductStringsWithControlCharactersAreRefused) {
  ScratchDir dir;
  ResourceInfo info;
  info.strings.company = u"Acme\nEND";
  EXPECT_THROW(write_resource_script(dir.path("app.rc"), info), PackError);
}

}  // namespace
}  // namespace veldro
