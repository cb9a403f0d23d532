// Placeholder values on Windows: temp path, known folders, argv[0], run tokens, build strings.
#include <windows.h>
#include <shlobj.h>

#include <stdlib.h>

#include "dirspec/tokens.h"
#include "dirspec/values.h"
#include "launcher/build_inputs.h"
#include "launcher/env.h"
#include "launcher/late_bound.h"
#include "launcher/report.h"
#include "launcher/run_state.h"

void placeholder_temp(wchar_t* at, size_t room) {
  GetTempPathW(static_cast<DWORD>(room), at);
}

bool placeholder_folder(Placeholder which, wchar_t folder[kFolderUnits]) {
  int csidl = which == Placeholder::kHome ? CSIDL_PROFILE : CSIDL_LOCAL_APPDATA;
  auto folder_path = LATE_BOUND(L"shell32.dll", SHGetFolderPathW);
  return folder_path(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) == S_OK;
}

const wchar_t* placeholder_text(Placeholder which) {
  switch (which) {
    case Placeholder::kProgram: {
      // The parent's argv[0] exactly as the runtime split it. The child is started by the full
      // module path, whatever the user typed (a bare or a short name): it takes the parent's,
      // which the parent published before it started the child, so that both name one folder.
      if (IsChildRole) {
        const wchar_t* parents = get_env_wide(kArgv0Variable);
        if (parents != nullptr) return parents;
      }
      // A process without argv[0] is a broken invariant.
      if (__argc < 1 || __wargv == nullptr || __wargv[0] == nullptr) die_on_broken_invariant();
      return __wargv[0];
    }
    case Placeholder::kPid: return get_run_pid();
    case Placeholder::kTime: return get_run_time();
    case Placeholder::kTimeUs: return get_run_time_us();
    case Placeholder::kRandom: return get_run_random();
    case Placeholder::kCompany: return product_string(ProductString::kCompany);
    case Placeholder::kProduct: return product_string(ProductString::kProduct);
    case Placeholder::kVersion: return product_string(ProductString::kVersion);
    case Placeholder::kFileVersion: return product_string(ProductString::kFileVersion);
    case Placeholder::kProductVersion: return product_string(ProductString::kProductVersion);
    default: die_on_broken_invariant();  // the parser resolves the others itself
  }
}
