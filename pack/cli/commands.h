// The five commands of veldro-pack, as the dispatcher (pack/main.cpp) runs them: each turns its
// parsed arguments into a request, hands it to the work in app/ or payload/ and prints what
// the user reads on standard output and error. Relies on the other cli/ modules, app/,
// payload/, image/ and base/. Portable.
#pragma once

#include <string>
#include <vector>

#include "pack/cli/args.h"

namespace veldro {

// What a command gets: its parsed arguments, and the whole command line (for the input stamp
// and to find the packer's own executable).
struct Invocation {
  const ParsedArgs& args;
  std::vector<std::string> raw;
};

constexpr int kUsageError = 1;
constexpr int kBadInput = 2;

// Each returns the exit code (0, or kBadInput for a refusal already reported), and throws
// UsageError or PackError for the dispatcher to print.
int run_pack(const Invocation& invocation);
int run_build(const Invocation& invocation);
int run_list(const Invocation& invocation);
int run_verify(const Invocation& invocation);
int run_extract(const Invocation& invocation);

// The options of pack and build (list, verify and extract take none).
std::vector<OptionSpec> pack_options();
std::vector<OptionSpec> build_options();

}  // namespace veldro
