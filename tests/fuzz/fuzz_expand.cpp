// Fuzz target: the template expander (dirspec/expand.cpp) over arbitrary templates and output
// capacities, against a reference expansion written here with std::wstring.
// Input: byte 0 picks the behaviour of the system lookups, bytes 1-2 the capacity (1..1024
// units), the rest are the template's UTF-16 units (wchar_t is 32 bits here: every unit is
// widened on its own, as the launcher's 16-bit units would be seen).
// The values come from this file's dirspec/values.h: fixed texts, a temp folder that is either
// written whole or (like a system call given too little room) scribbles over the whole room
// without a terminator, and folder lookups that may fail.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>

#include "dirspec/expand.h"
#include "dirspec/values.h"
#include "fuzz_report.h"

namespace {

const wchar_t kTemp[] = L"C:\\Users\\fuzz\\AppData\\Local\\Temp\\";
const wchar_t kHome[] = L"C:\\Users\\fuzz\\\\";
const wchar_t kCache[] = L"C:\\Users\\fuzz\\AppData\\Local";
const wchar_t kProgram[] = L"C:\\Program Files\\Veldro App\\app.EXE";

bool FoldersFail = false;
bool TempScribbled = false;

}  // namespace

void placeholder_temp(wchar_t* at, size_t room) {
  size_t length = wcslen(kTemp);
  if (length + 1 <= room) {
    wmemcpy(at, kTemp, length + 1);
  } else {
    for (size_t i = 0; i < room; ++i) at[i] = L'X';
    TempScribbled = true;
  }
}

bool placeholder_folder(Placeholder which, wchar_t folder[kFolderUnits]) {
  if (FoldersFail) return false;
  const wchar_t* value = which == Placeholder::kHome ? kHome : kCache;
  wmemcpy(folder, value, wcslen(value) + 1);
  return true;
}

const wchar_t* placeholder_text(Placeholder which) {
  switch (which) {
    case Placeholder::kProgram: return kProgram;
    case Placeholder::kPid: return L"4242";
    case Placeholder::kTime: return L"1765242000";
    case Placeholder::kTimeUs: return L"1765242000123456";
    case Placeholder::kRandom: return L"q7Kx2mZ0";
    case Placeholder::kCompany: return L"Veldro {Test} Co";
    case Placeholder::kProduct: return L"";
    case Placeholder::kVersion: return L"1.2.3.4";
    case Placeholder::kFileVersion: return L"1.2.3.4";
    case Placeholder::kProductVersion: return L"1.2";
    default: abort();  // the expander handles the others itself
  }
}

namespace {

std::wstring upper_ascii(const std::wstring& s) {
  std::wstring u = s;
  for (wchar_t& c : u) if (c >= L'a' && c <= L'z') c -= 32;
  return u;
}

struct Reference {
  bool ok = true;
  std::wstring text;
  size_t longest = 0;  // the longest the output got on the way, failures included
};

// The expansion as the template format describes it, with unbounded room.
Reference reference(const std::wstring& spec) {
  Reference r;
  auto fail = [&r]() { r.ok = false; return r; };
  bool in_placeholder = false;
  std::wstring name;
  for (wchar_t c : spec) {
    if (c == L'{') { in_placeholder = true; name.clear(); continue; }
    if (c == L'}') {
      if (!in_placeholder) return fail();
      in_placeholder = false;
      std::wstring n = upper_ascii(name);
      bool strip = false;
      if (name.size() > 1023) return fail();
      if (n == L"TEMP") { r.text += kTemp; strip = true; }
      else if (n == L"HOME" || n == L"CACHE_DIR") {
        if (FoldersFail) return fail();
        r.text += n == L"HOME" ? kHome : kCache;
        strip = true;
      } else if (n == L"PROGRAM") r.text += kProgram;
      else if (n == L"PROGRAM_BASE") {
        std::wstring p = kProgram;
        if (p.size() >= 4 && upper_ascii(p.substr(p.size() - 4)) == L".EXE") p.resize(p.size() - 4);
        r.text += p;
      } else if (n == L"PROGRAM_DIR") {
        std::wstring p = kProgram;
        r.text += p.substr(0, p.rfind(L'\\'));
      } else if (n == L"PID") r.text += L"4242";
      else if (n == L"TIME") r.text += L"1765242000";
      else if (n == L"TIME_US") r.text += L"1765242000123456";
      else if (n == L"RANDOM") r.text += L"q7Kx2mZ0";
      else if (n == L"COMPANY") r.text += L"Veldro {Test} Co";
      else if (n == L"PRODUCT") {}
      else if (n == L"VERSION" || n == L"FILE_VERSION") r.text += L"1.2.3.4";
      else if (n == L"PRODUCT_VERSION") r.text += L"1.2";
      else return fail();
      if (r.text.size() + 1 > r.longest) r.longest = r.text.size() + 1;
      if (strip) while (!r.text.empty() && r.text.back() == L'\\') r.text.pop_back();
      continue;
    }
    if (in_placeholder) { name += c; continue; }
    r.text += c;
    if (r.text.size() > r.longest) r.longest = r.text.size();
  }
  return r;
}

// Room beyond the reference's longest output within which every failure must be explained by
// the capacity: a value that does not fit whole, {PROGRAM} expanded in full before it is cut.
constexpr size_t kSlack = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  FoldersFail = (data[0] & 1) != 0;
  TempScribbled = false;
  size_t capacity = 1 + ((static_cast<size_t>(data[1]) | (static_cast<size_t>(data[2]) << 8)) % 1024);
  std::wstring spec;
  for (size_t i = 3; i + 1 < size; i += 2) {
    wchar_t unit = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    spec += unit;
  }

  // Exactly capacity units, so that any write past them is a sanitizer report.
  wchar_t* out = new wchar_t[capacity];
  bool result = false;
  Failure failure = FUZZ_GUARDED(result = expand_dir_spec(out, spec.c_str(), capacity));
  Reference ref = reference(spec);
  bool roomy = capacity >= ref.longest + kSlack;

  if (wcsnlen(out, capacity) == capacity) abort();  // the output is terminated at every moment
  if (failure == Failure::kInvariant) {
    if (roomy) abort();  // a value may overflow only a tight buffer
  } else if (failure != Failure::kNone) {
    abort();  // the expander reports nothing itself
  } else if (result) {
    if (!ref.ok) abort();
    if (!TempScribbled && ref.text != out) abort();
  } else {
    if (ref.ok && roomy) abort();
  }
  delete[] out;
  return 0;
}
