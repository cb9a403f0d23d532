// Turns an application (its main DLL, folders and single files) into the ordered list of
// payload entries, refusing what could not work on Windows. Relies on payload/ (the entries
// and their name rules) and base/. Portable (std::filesystem).
#pragma once

#include <string>
#include <vector>

#include "pack/payload/payload_writer.h"

namespace veldro {

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

}  // namespace veldro
