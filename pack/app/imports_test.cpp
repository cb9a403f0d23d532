// The checks of the files to pack, on DLLs made from the packer's own records: the main DLL's
// refusals, and which imported DLLs a run could not load.
#include "pack/app/imports.h"

#include <gtest/gtest.h>

#include "pack/base/pack_error.h"
#include "pack/base/scratch_dir.h"
#include "pack/image/synthetic_pe.h"

namespace veldro {
namespace {

std::vector<uint8_t> dll(std::vector<std::string> exports, std::vector<std::string> imports,
                         bool is_dll = true, bool x64 = true) {
  SyntheticPe spec;
  spec.dll = is_dll;
  spec.pe32_plus = x64;
  spec.exports = std::move(exports);
  spec.imports = std::move(imports);
  return synthetic_pe(spec);
}

TEST(MainDll, OnlyA64BitDllExportingRunCodeIsAccepted) {
  ScratchDir dir;
  const std::pair<std::string, std::string> cases[] = {
      {dir.write("good.dll", dll({"helper", "run_code"}, {})), ""},
      {dir.write("exe.dll", dll({"run_code"}, {}, false)), "main file '$' is not a 64-bit PE DLL"},
      {dir.write("x86.dll", dll({"run_code"}, {}, true, false)), "main file '$' is not a 64-bit PE DLL"},
      {dir.write("text.dll", "MZ but nothing more"), "main file '$' is not a 64-bit PE DLL"},
      {dir.write("other.dll", dll({"run_codes", "main"}, {})), "main file '$' has no run_code export"},
      {dir.path("missing.dll"), "'$' not found"},
      {dir.root.string(), "'$' is a directory, not a DLL"},
  };
  for (const auto& [path, expected] : cases) {
    std::string refusal;
    try {
      check_main_dll(path);
    } catch (const PackError& error) {
      refusal = error.what();
    }
    std::string want = expected;
    if (!want.empty()) want.replace(want.find('$'), 1, path);
    EXPECT_EQ(refusal, want) << path;
  }
}

TEST(Imports, DllsThatNeitherThePayloadNorTheSystemHasAreNamedOnce) {
  ScratchDir dir;
  const std::vector<PackFile> files = {
      {u"main.dll", dir.write("main.dll", dll({"run_code"}, {"KERNEL32.dll", "dep.dll", "libstdc++-6.dll",
                                                             "DEP.DLL", "libstdc++-6.dll"})), {}},
      {u"lib\\Dep.dll", dir.write("Dep.dll", dll({}, {"api-ms-win-crt-runtime-l1-1-0.dll", "extra.dll",
                                                       "missing.dll"})), {}},
      {u"tool.exe", dir.write("tool.exe", dll({}, {"absent.dll"}, false)), {}},
      {u"data\\notes.txt", dir.write("notes.txt", "not an image"), {}},
      {u"inline.dll", "", "content without a file"},
  };
  std::vector<MissingImport> missing = missing_imports(files, {"EXTRA.DLL"});
  ASSERT_EQ(missing.size(), 2u);
  EXPECT_EQ(missing[0].importer, u"main.dll");
  EXPECT_EQ(missing[0].dll, "libstdc++-6.dll");
  EXPECT_EQ(missing[1].importer, u"lib\\Dep.dll");
  EXPECT_EQ(missing[1].dll, "missing.dll");
}

TEST(Imports, SystemDllsAreWindowsOwnAndTheApiSets) {
  for (const char* name : {"kernel32.dll", "USER32.DLL", "api-ms-win-core-synch-l1-2-0.dll",
                           "ext-ms-win-ntuser-window-l1-1-0.dll", "winspool.drv"}) {
    EXPECT_TRUE(is_system_dll(name)) << name;
  }
  for (const char* name : {"msvcp140.dll", "vcruntime140.dll", "libstdc++-6.dll", "kernel32",
                           "api-ms-win.dll.x"}) {
    EXPECT_FALSE(is_system_dll(name)) << name;
  }
}

}  // namespace
}  // namespace veldro
