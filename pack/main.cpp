// veldro-pack: turns an application folder into a onefile exe (on a prebuilt stub) or into the
// build input of a linked launcher, and reads built payloads back. This file holds the command
// table and the dispatch; every command lives in cli/commands.h. Exit codes: 0 success,
// 1 usage error, 2 bad input.
#include <stdio.h>

#include <string>
#include <vector>

#include "pack/cli/args.h"
#include "pack/cli/commands.h"
#include "pack/cli/help.h"

#ifndef VELDRO_VERSION
#define VELDRO_VERSION "unknown"
#endif

namespace {

using namespace veldro;

// One command of the CLI: `veldro-pack <name> ...`.
struct Command {
  const char* name;
  const char* summary;        // one line of the main help
  const std::string& help;    // `veldro-pack <name> --help`
  std::vector<OptionSpec> options;
  int (*run)(const Invocation& invocation);
};

const std::vector<Command>& commands() {
  static const std::vector<Command> kCommands = {
      {"pack", "pack an application folder into a payload and a launcher object file", kPackHelp,
       pack_options(), run_pack},
      {"build", "write a finished exe from a prebuilt launcher stub, without a compiler",
       kBuildHelp, build_options(), run_build},
      {"list", "list the entries of a built exe or payload file", kListHelp, {}, run_list},
      {"verify", "check a built exe or payload file completely", kVerifyHelp, {}, run_verify},
      {"extract", "write the entries of a built exe or payload file to a folder", kExtractHelp, {},
       run_extract},
  };
  return kCommands;
}

void print_main_help() {
  printf("usage: veldro-pack <command> [options]\n\ncommands:\n");
  for (const Command& c : commands()) printf("  %-9s%s\n", c.name, c.summary);
  printf("\nRun 'veldro-pack <command> --help' for the options of a command.\n");
}

// One line for the problem and one pointing at the help: the whole help would bury the line.
int usage_error(const std::string& problem, const Command* command) {
  if (command == nullptr) {
    fprintf(stderr, "veldro-pack: %s\nRun 'veldro-pack --help' for the commands.\n", problem.c_str());
  } else {
    fprintf(stderr, "veldro-pack: %s\nRun 'veldro-pack %s --help' for the options.\n", problem.c_str(),
            command->name);
  }
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage_error("no command given", nullptr);
  std::string name = argv[1];
  if (name == "--help" || name == "-h") {
    print_main_help();
    return 0;
  }
  if (name == "--version") {
    printf("veldro-pack %s\n", VELDRO_VERSION);
    return 0;
  }
  const Command* command = nullptr;
  for (const Command& c : commands()) {
    if (name == c.name) command = &c;
  }
  if (command == nullptr) return usage_error("unknown command '" + name + "'", nullptr);
  try {
    ParsedArgs args = parse_args(argc - 2, argv + 2, command->options);
    if (args.help) {
      fputs(command->help.c_str(), stdout);
      return 0;
    }
    return command->run(Invocation{args, std::vector<std::string>(argv, argv + argc)});
  } catch (const UsageError& error) {
    return usage_error(error.what(), command);
  } catch (const std::exception& error) {
    fprintf(stderr, "veldro-pack: %s\n", error.what());
    return kBadInput;
  }
}
