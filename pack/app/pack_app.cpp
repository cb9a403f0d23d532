// pack, and the steps it shares with build (see app_request.h).
#include <filesystem>

#include "pack/app/app_request.h"
#include "pack/app/build_record.h"
#include "pack/app/resources.h"
#include "pack/app/template_check.h"
#include "pack/base/files.h"
#include "pack/image/icon.h"

namespace fs = std::filesystem;

namespace veldro {
namespace {

// The files pack writes, the object first (a depfile names it as the target).
std::vector<std::string> pack_outputs(const PackRequest& request) {
  std::vector<std::string> outputs;
  for (const std::string* out : {&request.object_path, &request.payload_path,
                                 &request.script_path, &request.depfile_path}) {
    if (!out->empty()) outputs.push_back(*out);
  }
  if (!request.script_path.empty()) outputs.push_back(request.script_path + ".manifest");
  return outputs;
}

bool all_exist(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (!fs::exists(path)) return false;
  }
  return true;
}

}  // namespace

bool imports_are_acceptable(const AppRequest& request, const std::vector<PackFile>& files,
                            const PackObserver& observer) {
  std::vector<MissingImport> missing = missing_imports(files, request.system_dlls);
  if (observer.missing_imports) observer.missing_imports(missing, request.strict);
  return !request.strict || missing.empty();
}

std::vector<uint8_t> compressed_payload(const std::vector<PackFile>& files,
                                        const FrameOptions& frame, const PackObserver& observer) {
  return wrap_payload(compress_entries(files, frame, observer.progress));
}

PackSummary written_summary(const std::vector<PackFile>& files, uint64_t payload_bytes,
                            std::chrono::steady_clock::time_point started) {
  PackSummary summary;
  summary.entries = files.size();
  for (const PackFile& f : files) summary.bytes_in += fs::file_size(f.path);
  summary.bytes_out = payload_bytes;
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return summary;
}

PackSummary pack_app(const PackRequest& request, const PackObserver& observer) {
  const AppRequest& app = request.app;
  check_template(app.strings);
  auto started = std::chrono::steady_clock::now();
  PackInputs inputs;
  std::vector<PackFile> files = collect_app_files(app.sources, &inputs.folders);
  for (const PackFile& f : files) inputs.files.push_back(f.path);
  if (!app.icon_path.empty()) inputs.files.push_back(app.icon_path);

  // Unchanged inputs with the outputs in place: nothing to do.
  const std::vector<std::string> outputs = pack_outputs(request);
  std::string stamp;
  if (!request.stamp_path.empty()) {
    stamp = inputs_stamp(request.arguments, request.packer_path, inputs);
    if (all_exist(outputs) && read_text_file(request.stamp_path) == stamp) {
      return {PackSummary::Status::kUpToDate};
    }
    std::error_code ignored;
    fs::remove(request.stamp_path, ignored);
  }

  check_main_dll(files.front().path);
  // A malformed icon is refused here rather than by the resource compiler later.
  if (!app.icon_path.empty()) read_icon_file(app.icon_path);
  if (!imports_are_acceptable(app, files, observer)) return {PackSummary::Status::kImportsRefused};
  if (!request.script_path.empty()) {
    ResourceInfo resources{app.strings, request.output_name, app.icon_path};
    if (resources.original_filename.empty()) resources.original_filename = "onefile.exe";
    write_resource_script(request.script_path, resources);
  }

  std::vector<uint8_t> payload = compressed_payload(files, app.frame, observer);
  if (!request.payload_path.empty()) write_file(request.payload_path, payload);
  if (!request.object_path.empty()) write_file(request.object_path, launcher_object(payload, app.strings));
  if (!request.depfile_path.empty()) write_depfile(request.depfile_path, outputs.front(), inputs);
  if (!request.stamp_path.empty()) write_file(request.stamp_path, stamp);
  return written_summary(files, payload.size(), started);
}

}  // namespace veldro
