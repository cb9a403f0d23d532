// The work of `veldro-pack pack` and `veldro-pack build`, as one request each that cli/ fills
// from the command line: collecting and checking the application, compressing it, writing the
// payload, the object and the resource script, or the exe on a stub. What the user sees while
// it runs goes through a PackObserver that cli/ provides. Relies on the rest of app/,
// payload/, image/ and base/. Portable.
#pragma once

#include <stdint.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "pack/app/app_tree.h"
#include "pack/app/build_inputs.h"
#include "pack/app/imports.h"
#include "pack/payload/payload_writer.h"

namespace veldro {

// What pack and build take alike: the application, the frame, the configuration strings, the
// icon and the import policy.
struct AppRequest {
  AppSources sources;
  FrameOptions frame;
  LauncherStrings strings;
  std::string icon_path;  // empty: no icon
  bool strict = false;    // refuse, rather than warn about, DLLs a run could not load
  std::vector<std::string> system_dlls;
};

struct PackRequest {
  AppRequest app;
  std::string payload_path, object_path, script_path;  // empty: not written
  std::string output_name;                              // the exe's name in the version information
  std::string depfile_path, stamp_path;                 // empty: not written
  std::vector<std::string> arguments;                   // the whole command line, for the stamp
  std::string packer_path;                              // the running packer, for the stamp
};

struct BuildRequest {
  AppRequest app;
  std::string output;     // the exe to write
  std::string stub_path;  // the stub to build on
  bool console = false;   // the stub must be a console one
};

struct PackObserver {
  // Told about every imported DLL that is neither packed nor a system DLL, before anything is
  // compressed (also with none), and whether --strict makes that a refusal.
  std::function<void(const std::vector<MissingImport>&, bool strict)> missing_imports;
  ProgressReport progress;  // null: no progress to report
};

struct PackSummary {
  enum class Status {
    kWritten,
    kUpToDate,       // pack with --stamp: the inputs and outputs are as recorded; nothing written
    kImportsRefused  // --strict and DLLs a run could not load; nothing written
  };
  Status status = Status::kWritten;
  size_t entries = 0;
  uint64_t bytes_in = 0, bytes_out = 0;  // the files' and the payload's sizes
  double seconds = 0;                    // from collecting the files to the last write
  uint64_t exe_bytes = 0;                // build: the exe's size
  bool console = false;                  // build: the stub's subsystem
};

// pack: checks the template, collects and checks the application (main DLL, icon, imports),
// then writes the resource script, the payload, the object, the depfile and the stamp that
// are asked for. Throws PackError on a refusal.
PackSummary pack_app(const PackRequest& request, const PackObserver& observer);

// build: checks and collects as pack does, reads the stub, then writes the exe under a
// temporary name and renames it into place. Throws PackError on a refusal, UsageError when
// --console names a graphical stub.
PackSummary build_app(const BuildRequest& request, const PackObserver& observer);

// --- the steps both take --------------------------------------------------------------------

// Reports the DLLs a run could not load; false when --strict makes that a refusal.
bool imports_are_acceptable(const AppRequest& request, const std::vector<PackFile>& files,
                            const PackObserver& observer);

// The payload of the files, compressed with progress reported.
std::vector<uint8_t> compressed_payload(const std::vector<PackFile>& files,
                                        const FrameOptions& frame, const PackObserver& observer);

// A written summary: the entries, their bytes, the payload's and the time since started.
PackSummary written_summary(const std::vector<PackFile>& files, uint64_t payload_bytes,
                            std::chrono::steady_clock::time_point started);

}  // namespace veldro
