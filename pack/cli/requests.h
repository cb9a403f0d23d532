// The options of pack and build, and the one request each command line turns into; the usage
// errors of options that do not fit together. Relies on args.h and app/. Portable.
#pragma once

#include <string>
#include <vector>

#include "pack/app/app_request.h"
#include "pack/cli/args.h"

namespace veldro {

// The options pack and build take alike, with those of one command.
std::vector<OptionSpec> app_options(std::vector<OptionSpec> own);

// pack's request. Throws UsageError: no --main, a directory given twice, a number out of its
// range, nothing to write; PackError on an option that is not valid UTF-8.
PackRequest pack_request(const ParsedArgs& args, const std::vector<std::string>& arguments,
                         const std::string& packer_path);

// build's request; without --stub, the stub beside the packer. Throws as pack_request, also
// UsageError without -o, and PackError when there is no stub beside the packer.
BuildRequest build_request(const ParsedArgs& args, const std::string& packer_path);

}  // namespace veldro
