// Options to requests (see requests.h).
#include "pack/cli/requests.h"

#include <stdlib.h>

#include <filesystem>

#include "format/payload_layout.h"
#include "pack/base/text.h"

namespace fs = std::filesystem;

namespace veldro {
namespace {

constexpr int kMinLevel = 1, kMaxLevel = 22;
constexpr int kMaxThreads = 256;

int parse_int(const std::string& text, int low, int high, const char* option) {
  char* end = nullptr;
  long v = strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0' || v < low || v > high) {
    throw UsageError(std::string(option) + " takes " + std::to_string(low) + " to " +
                     std::to_string(high));
  }
  return static_cast<int>(v);
}

AppSources app_sources(const ParsedArgs& args) {
  AppSources sources;
  sources.main = args.value("--main");
  sources.files = args.list("--file");
  for (const std::string& dir : args.positionals) {
    for (const std::string& earlier : sources.directories) {
      if (earlier == dir) throw UsageError("directory '" + dir + "' given twice");
    }
    sources.directories.push_back(dir);
  }
  if (sources.main.empty()) throw UsageError("--main is required");
  return sources;
}

FrameOptions frame_options(const ParsedArgs& args) {
  FrameOptions frame;
  if (args.has("--level")) frame.level = parse_int(args.value("--level"), kMinLevel, kMaxLevel, "--level");
  if (args.has("--threads")) frame.threads = parse_int(args.value("--threads"), 1, kMaxThreads, "--threads");
  if (args.has("--window-log")) {
    frame.window_log = parse_int(args.value("--window-log"), kMinWindowLog, kMaxWindowLog, "--window-log");
  }
  return frame;
}

LauncherStrings launcher_strings(const ParsedArgs& args) {
  LauncherStrings strings;
  const std::pair<const char*, std::u16string*> options[] = {
      {"--template", &strings.dir_spec},
      {"--company", &strings.company},
      {"--product", &strings.product},
      {"--file-version", &strings.file_version},
      {"--product-version", &strings.product_version},
  };
  for (const auto& [option, value] : options) {
    if (args.has(option)) *value = utf16_from_utf8(args.value(option));
  }
  return strings;
}

AppRequest app_request(const ParsedArgs& args) {
  AppRequest request;
  request.sources = app_sources(args);
  request.frame = frame_options(args);
  request.strings = launcher_strings(args);
  request.icon_path = args.value("--icon");
  request.strict = args.has("--strict");
  request.system_dlls = args.list("--system-dll");
  return request;
}

// The stub shipped beside the packer (cmake --install puts both in bin/).
std::string default_stub(const std::string& packer_path, bool console) {
  fs::path stub = fs::path(packer_path).parent_path() /
                  (console ? "veldro-stub-console.exe" : "veldro-stub-gui.exe");
  if (!fs::is_regular_file(stub)) {
    throw PackError("no launcher stub beside the packer: '" + stub.string() +
                    "' is missing; name one with --stub");
  }
  return stub.string();
}

}  // namespace

std::vector<OptionSpec> app_options(std::vector<OptionSpec> own) {
  own.insert(own.end(), {{"--main", OptionKind::kValue},
                         {"--file", OptionKind::kList},
                         {"--level", OptionKind::kValue},
                         {"--threads", OptionKind::kValue},
                         {"--window-log", OptionKind::kValue},
                         {"--icon", OptionKind::kValue},
                         {"--template", OptionKind::kValue},
                         {"--company", OptionKind::kValue},
                         {"--product", OptionKind::kValue},
                         {"--file-version", OptionKind::kValue},
                         {"--product-version", OptionKind::kValue},
                         {"--strict", OptionKind::kFlag},
                         {"--system-dll", OptionKind::kList}});
  return own;
}

PackRequest pack_request(const ParsedArgs& args, const std::vector<std::string>& arguments,
                         const std::string& packer_path) {
  PackRequest request;
  request.app = app_request(args);
  request.output_name = args.value("--output-name");
  request.payload_path = args.value("--payload");
  request.object_path = args.value("--object");
  request.script_path = args.value("--resource-script");
  if (request.payload_path.empty() && request.object_path.empty() && request.script_path.empty()) {
    throw UsageError("nothing to write: give --payload, --object or --resource-script");
  }
  request.depfile_path = args.value("--depfile");
  request.stamp_path = args.value("--stamp");
  request.arguments = arguments;
  request.packer_path = packer_path;
  return request;
}

BuildRequest build_request(const ParsedArgs& args, const std::string& packer_path) {
  BuildRequest request;
  request.app = app_request(args);
  request.output = args.value("--output");
  if (request.output.empty()) throw UsageError("-o is required: the exe to write");
  request.console = args.has("--console");
  request.stub_path = args.has("--stub") ? args.value("--stub") : default_stub(packer_path, request.console);
  return request;
}

}  // namespace veldro
