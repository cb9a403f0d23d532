// What one pack read, recorded for build systems: a depfile (make syntax, which Ninja and
// CMake read too) naming every input file and every folder listed, so that a build packs
// again when a file changes, appears, goes or is renamed; and a stamp of the inputs, so that
// a pack which a build runs every time can tell that nothing changed. Relies on base/.
// Portable (std::filesystem).
#pragma once

#include <string>
#include <vector>

namespace veldro {

struct PackInputs {
  std::vector<std::string> files;    // every file read
  std::vector<std::string> folders;  // every folder listed
};

// Writes "<target>: <file>... <folder>..." with absolute paths, forward slashes and make's
// escapes. Throws PackError when a path holds a line break (no depfile can name it) or the
// file cannot be written.
void write_depfile(const std::string& path, const std::string& target, const PackInputs& inputs);

// A text that differs whenever the arguments, the packer's own executable (size and time),
// the set of input files or any input file's size or modification time differ.
std::string inputs_stamp(const std::vector<std::string>& args, const std::string& packer_path,
                         const PackInputs& inputs);

}  // namespace veldro
