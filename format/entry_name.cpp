// Entry name safety (see entry_name.h).
#include "format/entry_name.h"

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

// Digits that make COM and LPT device names: 0-9 and the superscripts 1, 2 and 3, which the
// system also maps to the same devices.
bool is_device_digit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || c == 0x00B9 || c == 0x00B2 || c == 0x00B3;
}

bool stem_is(const wchar_t* stem, size_t length, const wchar_t* device) {
  for (size_t i = 0; i < length; ++i) {
    if (device[i] == L'\0' || upper(stem[i]) != device[i]) return false;
  }
  return device[length] == L'\0';
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 (and COM/LPT with a superscript digit), CONIN$ and
// CONOUT$ name devices, with or without an extension. The system ignores blanks between the
// device name and its extension ("CON .txt"), so the stem is compared without them.
bool is_device_name(const wchar_t* component, size_t length) {
  size_t stem = 0;
  while (stem < length && component[stem] != L'.') ++stem;
  while (stem > 0 && component[stem - 1] == L' ') --stem;
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : kDevices) {
    if (stem_is(component, stem, device)) return true;
  }
  if (stem == 4 && is_device_digit(component[3])) {
    return stem_is(component, 3, L"COM") || stem_is(component, 3, L"LPT");
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
