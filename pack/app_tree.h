// Turns an application (its main DLL, folders and single files) into the ordered list of
// payload entries, refusing what could not work on Windows. Portable (std::filesystem).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "pack/payload_writer.h"

namespace veldro {

// A refusal at pack time: one line naming the file and the reason.
struct PackError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct AppSources {
  std::string main;                       // a path, or a name inside the first directory
  std::vector<std::string> directories;  // every file below each, at its relative path
  std::vector<std::string> files;        // single files at the top level
};

// The entries in payload order: the main file first under its file name, then each
// directory's files sorted by name, then the single files. Throws PackError on: a missing
// directory, a missing main file, an empty directory, a name that is unsafe or reaches 1024
// UTF-16 units, two files packed under one name or under names that differ only in case, a
// symbolic link that points outside its directory. `folders`, when given, receives every
// folder listed (each directory and the folders below it), whose contents decide the set of
// entries.
std::vector<PackFile> collect_app_files(const AppSources& sources,
                                        std::vector<std::string>* folders = nullptr);

// UTF-8 to UTF-16; throws PackError on malformed input.
std::u16string utf16_from_utf8(const std::string& text);
std::string utf8_from_utf16(const std::u16string& text);

// Why a payload entry name would be refused, or empty when it is fine.
std::string entry_name_problem(const std::u16string& name);

}  // namespace veldro
