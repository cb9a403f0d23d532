// Depfile and input stamp (see build_record.h).
#include "pack/app/build_record.h"

#include <filesystem>
#include <sstream>

#include "pack/base/files.h"
#include "pack/base/pack_error.h"

namespace fs = std::filesystem;

namespace veldro {
namespace {

// Make's escapes, which Ninja's depfile reader shares: a blank or '#' after a backslash,
// '$' doubled.
std::string depfile_path(const std::string& path) {
  if (path.find_first_of("\r\n") != std::string::npos) {
    throw PackError("'" + path + "' holds a line break, which no depfile can name");
  }
  std::error_code error;
  std::string absolute = fs::absolute(path, error).lexically_normal().generic_string();
  if (error) absolute = path;
  std::string out;
  for (char c : absolute) {
    if (c == ' ' || c == '#' || c == '\t') out += '\\';
    if (c == '$') out += '$';
    out += c;
  }
  return out;
}

void stamp_file(std::ostringstream& out, const char* kind, const std::string& path) {
  std::error_code error;
  uintmax_t size = fs::file_size(path, error);
  if (error) size = 0;
  auto time = fs::last_write_time(path, error);
  long long ticks = error ? 0 : static_cast<long long>(time.time_since_epoch().count());
  out << kind << ' ' << size << ' ' << ticks << ' ' << path << '\n';
}

}  // namespace

void write_depfile(const std::string& path, const std::string& target, const PackInputs& inputs) {
  std::string text = depfile_path(target) + ":";
  for (const std::vector<std::string>* list : {&inputs.files, &inputs.folders}) {
    for (const std::string& input : *list) text += " \\\n  " + depfile_path(input);
  }
  write_file(path, text + "\n");
}

std::string inputs_stamp(const std::vector<std::string>& args, const std::string& packer_path,
                         const PackInputs& inputs) {
  std::ostringstream out;
  out << "veldro-pack inputs 1\n";
  stamp_file(out, "packer", packer_path);
  for (const std::string& arg : args) out << "arg " << arg << '\n';
  for (const std::string& file : inputs.files) stamp_file(out, "file", file);
  return out.str();
}

}  // namespace veldro
