// The two ways a packer command ends early, shared by every room of the packer: a refusal of
// its inputs (exit code 2) and a command line that cannot be run as given (exit code 1). The
// dispatcher prints either as one line.
#pragma once

#include <stdexcept>

namespace veldro {

// A refusal: one line naming the file and the reason.
struct PackError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A command line that cannot be run as given; the line is followed by where the help is.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace veldro
