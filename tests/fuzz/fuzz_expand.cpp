// Fuzz target: the template expander (format/dir_template.cpp) over arbitrary templates, values
// and output capacities, against a reference expansion written here with std::wstring from the
// template's rules: its result, kFailed or kValueTooLong included, and what it leaves in the
// output must be the reference's.
// Input: byte 0 picks which folders cannot be had, bytes 1-2 the capacity (1..1024 units), the
// rest are UTF-16 units: the template, then optionally after a 0 unit the value of {PROGRAM},
// then after another the value of {HOME} (wchar_t is 32 bits here: every unit is widened on
// its own, as the launcher's 16-bit units would be seen).
// The value function stands in for the launcher's: fixed texts, a temp folder given only when
// it fits the room left (as the system's lookup), folders the system may not give.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>

#include "format/dir_template.h"

namespace {

const wchar_t kTemp[] = L"C:\\Users\\fuzz\\AppData\\Local\\Temp\\";
const wchar_t kCache[] = L"C:\\Users\\fuzz\\AppData\\Local";

// One run of the expander: its values, and its output for the value function to check.
struct Run {
  bool temp_fails;
  bool folders_fail;
  std::wstring program = L"C:\\Program Files\\Veldro App\\app.EXE";
  std::wstring home = L"C:\\Users\\fuzz\\\\";
  const wchar_t* out;
  size_t capacity;
};

const wchar_t* fixed_text(Placeholder which) {
  switch (which) {
    case Placeholder::kPid: return L"4242";
    case Placeholder::kTime: return L"133000000001234567";
    case Placeholder::kTimeUs: return L"123456";
    case Placeholder::kRandom: return L"q7Kx2mZ0-_a";
    case Placeholder::kCompany: return L"Veldro {Test} Co";  // never parsed again
    case Placeholder::kProduct: return L"";
    case Placeholder::kVersion: return L"1.2-1.2.3.4";
    case Placeholder::kFileVersion: return L"1.2.3.4";
    case Placeholder::kProductVersion: return L"1.2";
    default: return nullptr;
  }
}

// The value of which at a moment when `room` units are left, or null when it cannot be had.
const wchar_t* value_of(const Run& run, Placeholder which, size_t room) {
  switch (which) {
    case Placeholder::kTemp:
      if (run.temp_fails) return nullptr;
      return wcslen(kTemp) + 1 <= room ? kTemp : L"";
    case Placeholder::kHome: return run.folders_fail ? nullptr : run.home.c_str();
    case Placeholder::kCacheDir: return run.folders_fail ? nullptr : kCache;
    case Placeholder::kProgram: return run.program.c_str();
    default: return fixed_text(which);
  }
}

const wchar_t* stand_in(void* context, Placeholder which, size_t room) {
  const Run& run = *static_cast<const Run*>(context);
  // The derived values are never asked for, and the output is terminated at every moment:
  // room is what is left after it.
  if (which == Placeholder::kProgramBase || which == Placeholder::kProgramDir) abort();
  size_t length = wcsnlen(run.out, run.capacity);
  if (length == run.capacity || room != run.capacity - length) abort();
  return value_of(run, which, room);
}

struct Known {
  const wchar_t* name;
  Placeholder which;
  bool folder;
};
const Known kKnown[] = {
    {L"TEMP", Placeholder::kTemp, true},
    {L"HOME", Placeholder::kHome, true},
    {L"CACHE_DIR", Placeholder::kCacheDir, true},
    {L"PROGRAM", Placeholder::kProgram, false},
    {L"PROGRAM_BASE", Placeholder::kProgramBase, false},
    {L"PROGRAM_DIR", Placeholder::kProgramDir, false},
    {L"PID", Placeholder::kPid, false},
    {L"TIME", Placeholder::kTime, false},
    {L"TIME_US", Placeholder::kTimeUs, false},
    {L"RANDOM", Placeholder::kRandom, false},
    {L"COMPANY", Placeholder::kCompany, false},
    {L"PRODUCT", Placeholder::kProduct, false},
    {L"VERSION", Placeholder::kVersion, false},
    {L"FILE_VERSION", Placeholder::kFileVersion, false},
    {L"PRODUCT_VERSION", Placeholder::kProductVersion, false},
};

std::wstring upper_ascii(std::wstring s) {
  for (wchar_t& c : s) {
    if (c >= L'a' && c <= L'z') c -= L'a' - L'A';
  }
  return s;
}

struct Expected {
  Expansion expansion;
  std::wstring text;
};

// The expansion as the template's rules describe it, in `capacity` units with the terminator:
// literal text that does not fit, a stray '}', an unknown, empty or over-long name, a value
// that cannot be had and an empty folder fail (kFailed); a value that does not fit whole (for
// {PROGRAM_BASE} and {PROGRAM_DIR}, {PROGRAM} itself) is kValueTooLong. The output keeps what
// was expanded before.
Expected reference(const std::wstring& dir_template, size_t capacity, const Run& run) {
  std::wstring out;
  bool in_placeholder = false;
  std::wstring name;
  for (wchar_t c : dir_template) {
    if (c == L'{') {
      in_placeholder = true;
      name.clear();
    } else if (c == L'}') {
      if (!in_placeholder) return {Expansion::kFailed, out};
      in_placeholder = false;
      const Known* known = nullptr;
      for (const Known& k : kKnown) {
        if (upper_ascii(name) == k.name && name.size() <= 1023) known = &k;
      }
      if (known == nullptr) return {Expansion::kFailed, out};
      bool derived =
          known->which == Placeholder::kProgramBase || known->which == Placeholder::kProgramDir;
      const wchar_t* value =
          value_of(run, derived ? Placeholder::kProgram : known->which, capacity - out.size());
      if (value == nullptr || (known->folder && *value == L'\0')) return {Expansion::kFailed, out};
      std::wstring text = value;
      if (out.size() + text.size() + 1 > capacity) return {Expansion::kValueTooLong, out};
      if (known->which == Placeholder::kProgramBase && text.size() >= 4 &&
          upper_ascii(text.substr(text.size() - 4)) == L".EXE") {
        text.resize(text.size() - 4);
      }
      if (known->which == Placeholder::kProgramDir && text.rfind(L'\\') != std::wstring::npos) {
        text.resize(text.rfind(L'\\'));
      }
      out += text;
      while (known->folder && !out.empty() && out.back() == L'\\') out.pop_back();
    } else if (in_placeholder) {
      name += c;
    } else {
      if (out.size() + 2 > capacity) return {Expansion::kFailed, out};
      out += c;
    }
  }
  return {Expansion::kExpanded, out};  // a placeholder left open is dropped
}

// The next 0-terminated run of UTF-16 units at *at, or false when the input has none.
bool take_units(const uint8_t* data, size_t size, size_t* at, std::wstring* units) {
  if (*at + 1 >= size) return false;
  units->clear();
  for (; *at + 1 < size; *at += 2) {
    wchar_t unit = static_cast<wchar_t>(data[*at] | (data[*at + 1] << 8));
    if (unit == 0) {
      *at += 2;
      break;
    }
    *units += unit;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  Run run;
  run.folders_fail = (data[0] & 1) != 0;
  run.temp_fails = (data[0] & 2) != 0;
  run.capacity = 1 + ((static_cast<size_t>(data[1]) | (static_cast<size_t>(data[2]) << 8)) % 1024);
  size_t at = 3;
  std::wstring dir_template;
  take_units(data, size, &at, &dir_template);
  take_units(data, size, &at, &run.program);
  take_units(data, size, &at, &run.home);

  // Exactly capacity units, so that any write past them is a sanitizer report.
  wchar_t* out = new wchar_t[run.capacity];
  run.out = out;
  Expansion expansion = expand_template(out, run.capacity, dir_template.c_str(), stand_in, &run);
  Expected expected = reference(dir_template, run.capacity, run);
  if (wcsnlen(out, run.capacity) == run.capacity) abort();  // terminated
  if (expansion != expected.expansion || expected.text != out) abort();
  delete[] out;
  return 0;
}
