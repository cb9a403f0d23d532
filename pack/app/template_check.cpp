// Pack-time template check (see template_check.h). This file gives the launcher's parser the
// values it would get from a run; the parser itself is format/'s, which the launcher runs.
#include "pack/app/template_check.h"

#include <string>

#include "format/dir_template.h"
#include "pack/base/pack_error.h"
#include "pack/base/text.h"

namespace {

// Stands for every run-unique token: a private-use character no path holds.
constexpr wchar_t kRunUnique = 0xE000;
const wchar_t kRunUniqueText[] = {kRunUnique, 0};

std::wstring wide_units(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// The values a run would give the launcher's parser; the product strings are the launcher's
// being packed.
struct StandIns {
  std::wstring product_strings[kInputsFieldCount];
};

const wchar_t* stand_in(void* context, Placeholder which, size_t) {
  const StandIns& values = *static_cast<const StandIns*>(context);
  switch (which) {
    case Placeholder::kTemp: return L"C:\\Users\\user\\AppData\\Local\\Temp\\";
    case Placeholder::kHome: return L"C:\\Users\\user";
    case Placeholder::kCacheDir: return L"C:\\Users\\user\\AppData\\Local";
    case Placeholder::kProgram: return L"C:\\Program Files\\App\\app.exe";
    default: break;
  }
  const PlaceholderInfo& info = placeholder_info(which);
  if (info.kind == PlaceholderKind::kRunUnique) return kRunUniqueText;
  return values.product_strings[info.field].c_str();
}

}  // namespace

namespace veldro {

void check_template(const LauncherStrings& strings) {
  const std::string shown = "template '" + utf8_from_utf16(strings.dir_spec) + "'";
  StandIns values;
  values.product_strings[kInputsCompany] = wide_units(strings.company);
  values.product_strings[kInputsProduct] = wide_units(strings.product);
  values.product_strings[kInputsVersion] = wide_units(strings.version());
  values.product_strings[kInputsFileVersion] = wide_units(strings.file_version);
  values.product_strings[kInputsProductVersion] = wide_units(strings.product_version);

  const std::wstring spec = wide_units(strings.dir_spec);
  std::wstring expanded(kPathUnits, L'\0');
  if (expand_template(&expanded[0], kPathUnits, spec.c_str(), stand_in, &values) !=
      Expansion::kExpanded) {
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
