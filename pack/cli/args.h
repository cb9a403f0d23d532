// The command line of one veldro-pack command: options that take one value, options that may
// be repeated, flags, positional arguments, "--" ending the options, and the usage errors
// they raise. Relies on base/pack_error.h. Portable.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "pack/base/pack_error.h"

namespace veldro {

enum class OptionKind { kFlag, kValue, kList };

struct OptionSpec {
  const char* name;  // with its dashes: "--level"
  OptionKind kind;
  const char* alias = nullptr;  // a short form ("-o"), parsed as name
};

struct ParsedArgs {
  bool help = false;
  std::map<std::string, std::vector<std::string>> values;  // by option, in the order given
  std::vector<std::string> positionals;

  bool has(const std::string& option) const { return values.count(option) != 0; }
  std::string value(const std::string& option) const;  // empty when not given
  std::vector<std::string> list(const std::string& option) const;
};

// Reads argv: "--name value" or "--name=value"; "--" makes every later argument positional;
// "--help" or "-h" before it asks for the help and wins over everything else. Throws
// UsageError on an unknown option, an option without its value or with an empty one, an
// option or flag given twice, or the same value given twice to a repeatable option.
ParsedArgs parse_args(int argc, char** argv, const std::vector<OptionSpec>& options);

}  // namespace veldro
