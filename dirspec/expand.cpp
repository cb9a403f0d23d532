// Directory template expansion (see expand.h).
#include "dirspec/expand.h"

#include <wchar.h>

#include "dirspec/values.h"
#include "launcher/report.h"

namespace {

constexpr size_t kNameUnits = 1024;

struct NamedPlaceholder {
  const wchar_t* name;
  Placeholder which;
};

const NamedPlaceholder kPlaceholders[] = {
    {L"TEMP", Placeholder::kTemp},
    {L"HOME", Placeholder::kHome},
    {L"CACHE_DIR", Placeholder::kCacheDir},
    {L"PROGRAM", Placeholder::kProgram},
    {L"PROGRAM_BASE", Placeholder::kProgramBase},
    {L"PROGRAM_DIR", Placeholder::kProgramDir},
    {L"PID", Placeholder::kPid},
    {L"TIME", Placeholder::kTime},
    {L"TIME_US", Placeholder::kTimeUs},
    {L"RANDOM", Placeholder::kRandom},
    {L"COMPANY", Placeholder::kCompany},
    {L"PRODUCT", Placeholder::kProduct},
    {L"VERSION", Placeholder::kVersion},
    {L"FILE_VERSION", Placeholder::kFileVersion},
    {L"PRODUCT_VERSION", Placeholder::kProductVersion},
};

// Case-insensitive comparison of ASCII names; placeholder names are ASCII.
bool same_name(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    wchar_t x = (*a >= L'a' && *a <= L'z') ? *a - (L'a' - L'A') : *a;
    wchar_t y = (*b >= L'a' && *b <= L'z') ? *b - (L'a' - L'A') : *b;
    if (x != y) return false;
    if (x == L'\0') return true;
  }
}

bool find_placeholder(const wchar_t* name, Placeholder* which) {
  for (const NamedPlaceholder& p : kPlaceholders) {
    if (same_name(name, p.name)) {
      *which = p.which;
      return true;
    }
  }
  return false;
}

// The output under construction: terminated at `length` at every moment.
struct Output {
  wchar_t* text;
  size_t capacity;
  size_t length;
  size_t room() const { return capacity - length; }
};

// Appends a value; a value that does not fit is a broken invariant, never a false result.
void append_value(Output* out, const wchar_t* value) {
  for (; *value != L'\0'; ++value) {
    if (out->room() < 2) die_on_broken_invariant();
    out->text[out->length++] = *value;
    out->text[out->length] = L'\0';
  }
}

bool ends_with_exe(const wchar_t* text, size_t length) {
  return length >= 4 && same_name(text + length - 4, L".exe");
}

// Appends the value of one placeholder at the end of out; false where the expansion fails.
bool append_placeholder(Output* out, Placeholder which) {
  wchar_t* at = out->text + out->length;
  switch (which) {
    case Placeholder::kTemp: {
      placeholder_temp(at, out->room());
      // Whatever the call left is the value, provided it is terminated within the room. An
      // empty one (the call failed, or had too little room) is a failure: the template would
      // otherwise put the target directory at the root of the current drive.
      size_t written = wcsnlen(at, out->room());
      if (written == out->room()) written = 0;
      out->text[out->length + written] = L'\0';
      if (written == 0) return false;
      out->length += written;
      return true;
    }
    case Placeholder::kHome:
    case Placeholder::kCacheDir: {
      wchar_t folder[kFolderUnits];
      if (!placeholder_folder(which, folder) || folder[0] == L'\0') return false;
      append_value(out, folder);
      return true;
    }
    case Placeholder::kProgramBase:
    case Placeholder::kProgramDir: {
      if (!expand_dir_spec(at, L"{PROGRAM}", out->room())) return false;
      size_t appended = wcslen(at);
      if (which == Placeholder::kProgramBase) {
        if (ends_with_exe(at, appended)) at[appended -= 4] = L'\0';
      } else {
        wchar_t* last_backslash = wcsrchr(at, L'\\');
        if (last_backslash != nullptr) {
          *last_backslash = L'\0';
          appended = static_cast<size_t>(last_backslash - at);
        }
      }
      out->length += appended;
      return true;
    }
    default:
      append_value(out, placeholder_text(which));
      return true;
  }
}

bool strips_trailing_backslashes(Placeholder which) {
  return which == Placeholder::kTemp || which == Placeholder::kHome ||
         which == Placeholder::kCacheDir;
}

}  // namespace

bool expand_dir_spec(wchar_t* text, const wchar_t* spec, size_t capacity) {
  Output out = {text, capacity, 0};
  text[0] = L'\0';

  bool in_placeholder = false;
  wchar_t name[kNameUnits];
  size_t name_length = 0;
  bool name_too_long = false;

  for (;; ++spec) {
    wchar_t c = *spec;
    if (c == L'\0') return true;  // an unclosed placeholder is dropped without a trace
    if (c == L'{') {
      in_placeholder = true;  // a '{' inside a placeholder starts it afresh
      name_length = 0;
      name_too_long = false;
      continue;
    }
    if (c == L'}') {
      if (!in_placeholder) return false;
      in_placeholder = false;
      name[name_length] = L'\0';
      Placeholder which;
      if (name_too_long || !find_placeholder(name, &which)) return false;
      if (!append_placeholder(&out, which)) return false;
      if (strips_trailing_backslashes(which)) {
        while (out.length > 0 && text[out.length - 1] == L'\\') text[--out.length] = L'\0';
      }
      continue;
    }
    if (in_placeholder) {
      if (name_length + 1 < kNameUnits) {
        name[name_length++] = c;
      } else {
        name_too_long = true;
      }
      continue;
    }
    if (out.room() < 2) return false;
    text[out.length++] = c;
    text[out.length] = L'\0';
  }
}
