// Pack-time template check (see template_check.h). This file gives the launcher's parser the
// values it would get from a run; the parser itself is the launcher's, compiled in as it is.
#include "pack/template_check.h"

#include <string>

#include "dirspec/expand.h"
#include "dirspec/values.h"
#include "launcher/report.h"
#include "launcher/run_state.h"
#include "pack/app_tree.h"

namespace {

// Stands for every run-unique token: a private-use character no path holds.
constexpr wchar_t kRunUnique = 0xE000;
const wchar_t kRunUniqueText[] = {kRunUnique, 0};

// The product strings of the launcher being packed, as the parser's wide text.
std::wstring Company, Product, Version, FileVersion, ProductVersion;

std::wstring wide_units(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

// --- the values a run would give the parser ----------------------------------------------------

void placeholder_temp(wchar_t* at, size_t room) {
  const std::wstring temp = L"C:\\Users\\user\\AppData\\Local\\Temp\\";
  if (temp.size() >= room) return;  // as GetTempPathW given too little room: nothing
  temp.copy(at, temp.size());
  at[temp.size()] = L'\0';
}

bool placeholder_folder(Placeholder which, wchar_t folder[kFolderUnits]) {
  const std::wstring value =
      which == Placeholder::kHome ? L"C:\\Users\\user" : L"C:\\Users\\user\\AppData\\Local";
  value.copy(folder, value.size());
  folder[value.size()] = L'\0';
  return true;
}

const wchar_t* placeholder_text(Placeholder which) {
  switch (which) {
    case Placeholder::kProgram: return L"C:\\Program Files\\App\\app.exe";
    case Placeholder::kPid:
    case Placeholder::kTime:
    case Placeholder::kTimeUs:
    case Placeholder::kRandom: return kRunUniqueText;
    case Placeholder::kCompany: return Company.c_str();
    case Placeholder::kProduct: return Product.c_str();
    case Placeholder::kVersion: return Version.c_str();
    case Placeholder::kFileVersion: return FileVersion.c_str();
    case Placeholder::kProductVersion: return ProductVersion.c_str();
    default: return L"";  // the parser derives the others itself
  }
}

// A placeholder value that does not fit the launcher's path: the run would end there.
void die_on_broken_invariant() { throw veldro::PackError("template value too long"); }

namespace veldro {

void check_template(const LauncherStrings& strings) {
  const std::string shown = "template '" + utf8_from_utf16(strings.dir_spec) + "'";
  Company = wide_units(strings.company);
  Product = wide_units(strings.product);
  Version = wide_units(strings.version());
  FileVersion = wide_units(strings.file_version);
  ProductVersion = wide_units(strings.product_version);

  const std::wstring spec = wide_units(strings.dir_spec);
  std::wstring expanded(kPathUnits, L'\0');
  bool expands = false;
  try {
    expands = expand_dir_spec(&expanded[0], spec.c_str(), kPathUnits);
  } catch (const PackError&) {
    expands = false;
  }
  if (!expands) {
    throw PackError(shown + " cannot be expanded by the launcher: it names an unknown or empty "
                    "placeholder, holds a '}' outside a placeholder, or is longer than " +
                    std::to_string(kPathUnits - 1) + " characters; every run would fail");
  }
  expanded.resize(expanded.find(L'\0'));

  // Its components, as Windows separates them; trailing separators name no component.
  std::wstring last;
  size_t start = 0;
  while (start <= expanded.size()) {
    size_t end = expanded.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = expanded.size();
    std::wstring component = expanded.substr(start, end - start);
    if (component == L"." || component == L"..") {
      throw PackError(shown + " has a '.' or '..' component, which would move the target "
                      "directory away from the folder it names");
    }
    if (!component.empty()) last = component;
    start = end + 1;
  }
  if (last.find(kRunUnique) == std::wstring::npos) {
    throw PackError(shown + " names no run-unique placeholder ({PID}, {TIME}, {TIME_US} or "
                    "{RANDOM}) in its last component; the clean-up deletes whatever stands at "
                    "the target path");
  }
}

}  // namespace veldro
