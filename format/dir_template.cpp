// Template expansion and the placeholder table (see dir_template.h).
#include "format/dir_template.h"

#include <stdlib.h>

namespace {

constexpr size_t kNameUnits = 1024;

wchar_t upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? c - (L'a' - L'A') : c; }

// Case-insensitive comparison of a template's placeholder name with an ASCII table name.
bool same_name(const wchar_t* name, const char* table_name) {
  for (;; ++name, ++table_name) {
    if (upper(*name) != static_cast<wchar_t>(*table_name)) return false;
    if (*name == L'\0') return true;
  }
}

const PlaceholderInfo* find_placeholder(const wchar_t* name) {
  for (const PlaceholderInfo& info : kPlaceholders) {
    if (same_name(name, info.name)) return &info;
  }
  return nullptr;
}

size_t text_length(const wchar_t* text) {
  size_t length = 0;
  while (text[length] != L'\0') ++length;
  return length;
}

bool ends_with_exe(const wchar_t* text, size_t length) {
  return length >= 4 && text[length - 4] == L'.' && upper(text[length - 3]) == L'E' &&
         upper(text[length - 2]) == L'X' && upper(text[length - 1]) == L'E';
}

// The output under construction: terminated at `length` at every moment.
struct Output {
  wchar_t* text;
  size_t capacity;
  size_t length;
};

size_t room(const Output& out) { return out.capacity - out.length; }

// Appends units of value; false when they and the terminator do not fit.
bool append(Output* out, const wchar_t* value, size_t units) {
  if (units + 1 > room(*out)) return false;
  for (size_t i = 0; i < units; ++i) out->text[out->length++] = value[i];
  out->text[out->length] = L'\0';
  return true;
}

Expansion append_placeholder(Output* out, const PlaceholderInfo& info, PlaceholderValue value,
                             void* context) {
  bool derived = info.which == Placeholder::kProgramBase || info.which == Placeholder::kProgramDir;
  const wchar_t* text = value(context, derived ? Placeholder::kProgram : info.which, room(*out));
  if (text == nullptr) return Expansion::kFailed;
  size_t units = text_length(text);
  if (info.kind == PlaceholderKind::kFolder && units == 0) return Expansion::kFailed;
  if (units + 1 > room(*out)) return Expansion::kValueTooLong;
  if (info.which == Placeholder::kProgramBase && ends_with_exe(text, units)) units -= 4;
  if (info.which == Placeholder::kProgramDir) {
    for (size_t i = units; i > 0; --i) {
      if (text[i - 1] == L'\\') {
        units = i - 1;
        break;
      }
    }
  }
  append(out, text, units);
  if (info.kind == PlaceholderKind::kFolder) {
    while (out->length > 0 && out->text[out->length - 1] == L'\\') out->text[--out->length] = L'\0';
  }
  return Expansion::kExpanded;
}

}  // namespace

const PlaceholderInfo kPlaceholders[kPlaceholderCount] = {
    {"TEMP", Placeholder::kTemp, PlaceholderKind::kFolder, kInputsPayload, 0},
    {"HOME", Placeholder::kHome, PlaceholderKind::kFolder, kInputsPayload, 0},
    {"CACHE_DIR", Placeholder::kCacheDir, PlaceholderKind::kFolder, kInputsPayload, 0},
    {"PROGRAM", Placeholder::kProgram, PlaceholderKind::kProgram, kInputsPayload, 1},
    {"PROGRAM_BASE", Placeholder::kProgramBase, PlaceholderKind::kProgram, kInputsPayload, 1},
    {"PROGRAM_DIR", Placeholder::kProgramDir, PlaceholderKind::kProgram, kInputsPayload, 1},
    {"PID", Placeholder::kPid, PlaceholderKind::kRunUnique, kInputsPayload, 2},
    {"TIME", Placeholder::kTime, PlaceholderKind::kRunUnique, kInputsPayload, 2},
    {"TIME_US", Placeholder::kTimeUs, PlaceholderKind::kRunUnique, kInputsPayload, 2},
    {"RANDOM", Placeholder::kRandom, PlaceholderKind::kRunUnique, kInputsPayload, 2},
    {"COMPANY", Placeholder::kCompany, PlaceholderKind::kProductString, kInputsCompany, 3},
    {"PRODUCT", Placeholder::kProduct, PlaceholderKind::kProductString, kInputsProduct, 3},
    {"FILE_VERSION", Placeholder::kFileVersion, PlaceholderKind::kProductString,
     kInputsFileVersion, 3},
    {"PRODUCT_VERSION", Placeholder::kProductVersion, PlaceholderKind::kProductString,
     kInputsProductVersion, 3},
    {"VERSION", Placeholder::kVersion, PlaceholderKind::kProductString, kInputsVersion, 4},
};

static_assert(static_cast<size_t>(Placeholder::kProductVersion) + 1 == kPlaceholderCount,
              "every placeholder has its entry in the table");

const char* const kPlaceholderGroups[kPlaceholderGroupCount] = {
    "the user's temp, profile and local application data folders",
    "the exe as started (argv[0]), the same without '.exe', its folder",
    "run-unique: the launcher's process id, the start time in 100 ns units since 1601, its "
    "microsecond (six digits), 11 random characters",
    "the product strings",
    "the product version, a hyphen, the file version",
};

const PlaceholderInfo& placeholder_info(Placeholder which) {
  for (const PlaceholderInfo& info : kPlaceholders) {
    if (info.which == which) return info;
  }
  abort();  // every Placeholder has its entry
}

Expansion expand_template(wchar_t* out_text, size_t capacity, const wchar_t* spec,
                          PlaceholderValue value, void* context) {
  Output out = {out_text, capacity, 0};
  out_text[0] = L'\0';

  bool in_placeholder = false;
  wchar_t name[kNameUnits];
  size_t name_length = 0;
  bool name_too_long = false;

  for (;; ++spec) {
    wchar_t c = *spec;
    if (c == L'\0') return Expansion::kExpanded;  // an open placeholder is dropped
    if (c == L'{') {
      in_placeholder = true;
      name_length = 0;
      name_too_long = false;
      continue;
    }
    if (c == L'}') {
      if (!in_placeholder) return Expansion::kFailed;
      in_placeholder = false;
      name[name_length] = L'\0';
      const PlaceholderInfo* info = name_too_long ? nullptr : find_placeholder(name);
      if (info == nullptr) return Expansion::kFailed;
      Expansion appended = append_placeholder(&out, *info, value, context);
      if (appended != Expansion::kExpanded) return appended;
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
    if (!append(&out, &c, 1)) return Expansion::kFailed;
  }
}
