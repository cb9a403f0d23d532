// The help texts of veldro-pack: the main help's lines come from the command table
// (pack/main.cpp); these are the texts of `veldro-pack <command> --help`. The template's
// placeholders are listed from format/dir_template.h's table. Relies on format/. Portable.
#pragma once

#include <string>

namespace veldro {

extern const std::string kPackHelp;
extern const std::string kBuildHelp;
extern const std::string kListHelp;
extern const std::string kVerifyHelp;
extern const std::string kExtractHelp;

// The placeholder section that pack's and build's help end their options with: each group of
// format/'s table, its placeholders on one line and what they stand for below, wrapped at
// width columns.
std::string placeholder_help(size_t width);

}  // namespace veldro
