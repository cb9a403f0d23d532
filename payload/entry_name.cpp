// Entry name safety (see entry_name.h).
#include "payload/entry_name.h"

#include <stddef.h>

namespace {

bool is_forbidden_character(wchar_t c) {
  if (c < 0x20) return true;
  switch (c) {
    case L'<': case L'>': case L':': case L'"': case L'/': case L'|': case L'?': case L'*':
      return true;
    default:
      return false;
  }
}

wchar_t upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? c - (L'a' - L'A') : c; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices, with or without an extension.
bool is_device_name(const wchar_t* component, size_t length) {
  size_t stem = 0;
  while (stem < length && component[stem] != L'.') ++stem;
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL"};
  if (stem == 3) {
    for (const wchar_t* device : kDevices) {
      if (upper(component[0]) == device[0] && upper(component[1]) == device[1] &&
          upper(component[2]) == device[2]) {
        return true;
      }
    }
  }
  if (stem == 4 && component[3] >= L'1' && component[3] <= L'9') {
    wchar_t a = upper(component[0]), b = upper(component[1]), c = upper(component[2]);
    if ((a == L'C' && b == L'O' && c == L'M') || (a == L'L' && b == L'P' && c == L'T')) {
      return true;
    }
  }
  return false;
}

bool component_is_safe(const wchar_t* component, size_t length) {
  if (length == 0) return false;
  wchar_t last = component[length - 1];
  if (last == L'.' || last == L' ') return false;  // covers "." and ".."
  return !is_device_name(component, length);
}

}  // namespace

bool entry_name_is_safe(const wchar_t* name) {
  const wchar_t* component = name;
  for (const wchar_t* c = name;; ++c) {
    if (*c == L'\\' || *c == L'\0') {
      if (!component_is_safe(component, static_cast<size_t>(c - component))) return false;
      if (*c == L'\0') return true;
      component = c + 1;
    } else if (is_forbidden_character(*c)) {
      return false;
    }
  }
}
