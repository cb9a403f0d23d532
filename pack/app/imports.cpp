// The main DLL's check and the import checks of the packed DLLs (see imports.h).
#include "pack/app/imports.h"

#include <algorithm>
#include <set>

#include "pack/app/system_dlls.h"
#include "pack/base/byte_source.h"
#include "pack/base/pack_error.h"
#include "pack/image/pe_reader.h"

namespace veldro {
namespace {

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The last component of a payload name, lower-cased (payload names are checked to be plain
// names, so ASCII folding finds the DLLs the loader would find).
std::string entry_file_name(const std::u16string& name) {
  size_t slash = name.rfind(u'\\');
  std::string out;
  for (char16_t c : name.substr(slash == std::u16string::npos ? 0 : slash + 1)) {
    out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return lower(out);
}


}  // namespace

void check_main_dll(const std::string& path) {
  FileSource file(path, "a DLL");
  auto refuse = [&](const std::string& why) { throw PackError("main file '" + path + "' " + why); };
  PeImage image;
  if (!read_pe_image(file, &image) || !image.is_x64() || !image.is_dll()) {
    refuse("is not a 64-bit PE DLL");
  }
  if (!exports_name(file, image, "run_code")) refuse("has no run_code export");
}

bool is_system_dll(const std::string& name) {
  std::string dll = lower(name);
  if (dll.rfind("api-ms-win-", 0) == 0 || dll.rfind("ext-ms-", 0) == 0) return true;
  return std::any_of(std::begin(kSystemDlls), std::end(kSystemDlls),
                     [&](const char* known) { return dll == known; });
}

std::vector<MissingImport> missing_imports(const std::vector<PackFile>& files,
                                           const std::vector<std::string>& also_present) {
  std::set<std::string> present;
  for (const PackFile& file : files) present.insert(entry_file_name(file.name));
  for (const std::string& dll : also_present) present.insert(lower(dll));

  std::vector<MissingImport> missing;
  for (const PackFile& file : files) {
    if (file.path.empty()) continue;
    FileSource source(file.path, "a file");
    PeImage image;
    if (!read_pe_image(source, &image) || !image.is_dll()) continue;
    std::set<std::string> reported;  // a DLL imported twice is named once
    for (const std::string& dll : imported_dlls(source, image)) {
      std::string key = lower(dll);
      if (present.count(key) || is_system_dll(key) || !reported.insert(key).second) continue;
      missing.push_back({file.name, dll});
    }
  }
  return missing;
}

}  // namespace veldro
