// build: an exe on a prebuilt stub (see app_request.h).
#include <filesystem>

#include "pack/app/app_request.h"
#include "pack/app/resources.h"
#include "pack/app/template_check.h"
#include "pack/base/files.h"
#include "pack/base/pack_error.h"
#include "pack/image/exe_writer.h"

namespace fs = std::filesystem;

namespace veldro {

PackSummary build_app(const BuildRequest& request, const PackObserver& observer) {
  const AppRequest& app = request.app;
  check_template(app.strings);
  auto started = std::chrono::steady_clock::now();
  std::vector<PackFile> files = collect_app_files(app.sources);
  check_main_dll(files.front().path);
  ResourceInfo info{app.strings, fs::path(request.output).filename().string(), app.icon_path};
  std::vector<Resource> resources = launcher_resources(info);
  Stub stub = read_stub_file(request.stub_path);
  if (request.console && !stub.console) {
    throw UsageError("--console: stub '" + request.stub_path + "' is a graphical one");
  }
  if (!imports_are_acceptable(app, files, observer)) return {PackSummary::Status::kImportsRefused};

  std::vector<uint8_t> payload = compressed_payload(files, app.frame, observer);
  const uint64_t payload_bytes = payload.size();
  std::vector<uint8_t> section = launcher_section(payload, app.strings);
  payload = {};  // at most two copies of the payload in memory at a time
  std::vector<uint8_t> exe = build_exe(stub, resources, section);
  write_file_replacing(request.output, exe);
  PackSummary summary = written_summary(files, payload_bytes, started);
  summary.exe_bytes = exe.size();
  summary.console = stub.console;
  return summary;
}

}  // namespace veldro
