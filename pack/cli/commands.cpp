// The commands (see commands.h).
#include "pack/cli/commands.h"

#include <stdio.h>

#include "pack/app/app_request.h"
#include "pack/base/byte_source.h"
#include "pack/base/files.h"
#include "pack/base/text.h"
#include "pack/cli/messages.h"
#include "pack/cli/requests.h"
#include "pack/image/inputs_section.h"
#include "pack/payload/extract.h"
#include "pack/payload/payload_reader.h"

namespace veldro {
namespace {

const char kInputKind[] = "an exe or payload file";

void expect_positionals(const ParsedArgs& args, size_t count, const char* what) {
  if (args.positionals.size() != count) throw UsageError(std::string("give ") + what);
}

// What pack and build end with: nothing more after a refusal already reported, else the
// summary line.
int finish(const PackSummary& summary) {
  if (summary.status == PackSummary::Status::kImportsRefused) return kBadInput;
  if (summary.status == PackSummary::Status::kWritten) print_summary(summary);
  return 0;
}

// list and verify: both decode everything; verify also checks the image's build-inputs section
// and says only whether all is well.
int run_read(const Invocation& invocation, bool verify) {
  expect_positionals(invocation.args, 1, "exactly one file");
  const std::string& path = invocation.args.positionals[0];
  FileSource file(path, kInputKind);
  PayloadLocation where = find_payload(file);
  if (verify) check_image_inputs(file, where.offset, where.length);
  FrameInfo frame;
  std::vector<EntryInfo> entries = list_entries(file, where, &frame);
  uint64_t total = 0;
  for (const EntryInfo& e : entries) total += e.size;
  if (verify) {
    printf("%s: ok, %zu entries, %llu bytes, checksum %s\n", path.c_str(), entries.size(),
           static_cast<unsigned long long>(total), frame.checksum ? "verified" : "absent");
    return 0;
  }
  for (const EntryInfo& e : entries) {
    printf("%12llu  %s\n", static_cast<unsigned long long>(e.size), utf8_from_utf16(e.name).c_str());
  }
  printf("%zu entries, %llu bytes, payload %llu bytes at offset %llu, ratio %.3f\n", entries.size(),
         static_cast<unsigned long long>(total), static_cast<unsigned long long>(where.length),
         static_cast<unsigned long long>(where.offset),
         total ? static_cast<double>(where.length) / static_cast<double>(total) : 0.0);
  printf("frame: %llu bytes, content size %llu, window %llu bytes, checksum %s\n",
         static_cast<unsigned long long>(where.frame_bytes),
         static_cast<unsigned long long>(frame.content_size),
         static_cast<unsigned long long>(frame.window_size), frame.checksum ? "on" : "off");
  return 0;
}

}  // namespace

std::vector<OptionSpec> pack_options() {
  return app_options({{"--payload", OptionKind::kValue},
                      {"--object", OptionKind::kValue},
                      {"--resource-script", OptionKind::kValue},
                      {"--output-name", OptionKind::kValue},
                      {"--depfile", OptionKind::kValue},
                      {"--stamp", OptionKind::kValue}});
}

std::vector<OptionSpec> build_options() {
  return app_options({{"--output", OptionKind::kValue, "-o"},
                      {"--console", OptionKind::kFlag},
                      {"--stub", OptionKind::kValue}});
}

int run_pack(const Invocation& invocation) {
  const std::string packer = own_executable_path(invocation.raw.front().c_str());
  return finish(pack_app(pack_request(invocation.args, invocation.raw, packer), terminal_observer()));
}

int run_build(const Invocation& invocation) {
  BuildRequest request =
      build_request(invocation.args, own_executable_path(invocation.raw.front().c_str()));
  PackSummary summary = build_app(request, terminal_observer());
  int code = finish(summary);
  if (summary.status == PackSummary::Status::kWritten) print_written_exe(request.output, summary);
  return code;
}

int run_list(const Invocation& invocation) { return run_read(invocation, false); }
int run_verify(const Invocation& invocation) { return run_read(invocation, true); }

int run_extract(const Invocation& invocation) {
  expect_positionals(invocation.args, 2, "a file and a folder");
  const std::string& path = invocation.args.positionals[0];
  const std::string& dir = invocation.args.positionals[1];
  FileSource file(path, kInputKind);
  ExtractResult result = extract_payload(file, find_payload(file), dir);
  fprintf(stderr, "veldro-pack: %zu entries, %llu bytes written below '%s'\n", result.entries,
          static_cast<unsigned long long>(result.bytes), dir.c_str());
  return 0;
}

}  // namespace veldro
