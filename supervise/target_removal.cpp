// The target directory's removal (see target_removal.h).
#include "supervise/target_removal.h"

#include <windows.h>

#include "base/run_state.h"
#include "supervise/tree_removal.h"

namespace {

constexpr int kDeleteAttempts = 21;
constexpr DWORD kRetryPauseMs = 100;

}  // namespace

void remove_target_directory() {
  if (!ExtractionStarted) return;
  for (int attempt = 1;; ++attempt) {
    if (!remove_tree(TargetDir) || attempt == kDeleteAttempts) return;
    Sleep(kRetryPauseMs);
  }
}
