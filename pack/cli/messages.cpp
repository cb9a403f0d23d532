// Progress, warnings and summaries (see messages.h).
#include "pack/cli/messages.h"

#include <stdio.h>

#include <chrono>
#include <memory>

#include "pack/base/files.h"
#include "pack/base/text.h"

namespace veldro {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

// The progress line: "\rveldro-pack:  42% of 12.3 MB", redrawn at most every kRedrawInterval
// and always at the end, which ends the line.
struct ProgressLine {
  bool drawn = false;
  std::chrono::steady_clock::time_point last;

  void draw(uint64_t done, uint64_t total) {
    auto now = std::chrono::steady_clock::now();
    if (done < total && drawn && now - last < kRedrawInterval) return;
    drawn = true;
    last = now;
    fprintf(stderr, "\rveldro-pack: %3d%% of %.1f MB", total ? static_cast<int>(done * 100 / total) : 100,
            static_cast<double>(total) / 1e6);
    if (done == total) fputc('\n', stderr);
  }
};

void print_missing_imports(const std::vector<MissingImport>& missing, bool strict) {
  for (const MissingImport& m : missing) {
    fprintf(stderr, "veldro-pack: %s'%s' imports '%s', which is neither in the payload nor a system DLL\n",
            strict ? "" : "warning: ", utf8_from_utf16(m.importer).c_str(), m.dll.c_str());
  }
  if (!missing.empty()) {
    fprintf(stderr,
            "veldro-pack: a run fails to load such a DLL (error 126): link statically (-static), "
            "pack the DLL too, or name it with --system-dll if the target system has it\n");
  }
}

}  // namespace

PackObserver terminal_observer() {
  PackObserver observer;
  observer.missing_imports = print_missing_imports;
  if (stderr_is_terminal()) {
    auto line = std::make_shared<ProgressLine>();
    observer.progress = [line](uint64_t done, uint64_t total) { line->draw(done, total); };
  }
  return observer;
}

void print_summary(const PackSummary& s) {
  fprintf(stderr, "veldro-pack: %zu entries, %llu bytes in, %llu bytes out, ratio %.3f, %.2f s\n",
          s.entries, static_cast<unsigned long long>(s.bytes_in),
          static_cast<unsigned long long>(s.bytes_out),
          s.bytes_in ? static_cast<double>(s.bytes_out) / static_cast<double>(s.bytes_in) : 0.0,
          s.seconds);
}

void print_written_exe(const std::string& path, const PackSummary& summary) {
  fprintf(stderr, "veldro-pack: wrote '%s', %llu bytes, %s subsystem\n", path.c_str(),
          static_cast<unsigned long long>(summary.exe_bytes),
          summary.console ? "console" : "graphical");
}

}  // namespace veldro
