// Command-line parsing (see args.h).
#include "pack/cli/args.h"

#include <algorithm>
#include <cstring>

namespace veldro {
namespace {

bool is_help(const char* arg) { return !std::strcmp(arg, "--help") || !std::strcmp(arg, "-h"); }

const OptionSpec* find_option(const std::vector<OptionSpec>& options, const std::string& name) {
  for (const OptionSpec& option : options) {
    if (name == option.name || (option.alias != nullptr && name == option.alias)) return &option;
  }
  return nullptr;
}

}  // namespace

std::string ParsedArgs::value(const std::string& option) const {
  auto it = values.find(option);
  return it == values.end() ? std::string() : it->second.front();
}

std::vector<std::string> ParsedArgs::list(const std::string& option) const {
  auto it = values.find(option);
  return it == values.end() ? std::vector<std::string>() : it->second;
}

ParsedArgs parse_args(int argc, char** argv, const std::vector<OptionSpec>& options) {
  ParsedArgs parsed;
  for (int i = 0; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (is_help(argv[i])) {
      parsed.help = true;
      return parsed;
    }
  }
  bool options_ended = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      parsed.positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    size_t equals = arg.find('=');
    std::string name = arg.substr(0, equals);
    const OptionSpec* option = find_option(options, name);
    if (option == nullptr) throw UsageError("unknown option '" + name + "'");
    name = option->name;
    std::vector<std::string>& given = parsed.values[name];
    if (option->kind == OptionKind::kFlag) {
      if (equals != std::string::npos) throw UsageError(name + " takes no value");
      if (!given.empty()) throw UsageError(name + " given twice");
      given.push_back("");
      continue;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < argc) {
      value = argv[++i];
    }
    if (value.empty()) throw UsageError(name + " needs a value");
    if (option->kind == OptionKind::kValue && !given.empty()) throw UsageError(name + " given twice");
    if (std::find(given.begin(), given.end(), value) != given.end()) {
      throw UsageError(name + " '" + value + "' given twice");
    }
    given.push_back(value);
  }
  return parsed;
}

}  // namespace veldro
