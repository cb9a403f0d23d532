// Checks on the files a launcher is built from, so that what cannot work is refused at build
// time: the main DLL must be a 64-bit PE DLL exporting run_code, an icon must be a well-formed
// .ico file. Portable; reads the files' bytes only.
#pragma once

#include <string>

namespace veldro {

// Throws PackError naming the file when it is not a 64-bit (x86-64) PE DLL or has no export
// named run_code.
void check_main_dll(const std::string& path);

// Throws PackError naming the file when it is not an .ico file whose directory and images lie
// within the file.
void check_icon(const std::string& path);

}  // namespace veldro
