// Argument quoting (see command_line.h).
#include "format/command_line.h"

namespace {

bool needs_quotes(const wchar_t* argument) {
  for (const wchar_t* c = argument; *c != L'\0'; ++c) {
    if (*c == L' ' || *c == L'\t' || *c == L'\n' || *c == L'\v' || *c == L'"') return true;
  }
  return false;
}

wchar_t* put_backslashes(wchar_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) *out++ = L'\\';
  return out;
}

}  // namespace

size_t quoted_length(const wchar_t* argument) {
  if (!needs_quotes(argument)) {
    size_t length = 0;
    while (argument[length] != L'\0') ++length;
    return length;
  }
  size_t length = 2;  // the quotes
  size_t backslashes = 0;
  for (const wchar_t* c = argument; *c != L'\0'; ++c) {
    if (*c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a double quote are doubled, and the quote gets one of its own.
    length += *c == L'"' ? 2 * backslashes + 2 : backslashes + 1;
    backslashes = 0;
  }
  return length + 2 * backslashes;  // doubled before the closing quote
}

wchar_t* quote_argument(wchar_t* out, const wchar_t* argument) {
  if (!needs_quotes(argument)) {
    while (*argument != L'\0') *out++ = *argument++;
    *out = L'\0';
    return out;
  }
  *out++ = L'"';
  for (const wchar_t* c = argument;; ++c) {
    size_t backslashes = 0;
    while (*c == L'\\') {
      ++backslashes;
      ++c;
    }
    if (*c == L'\0') {
      out = put_backslashes(out, 2 * backslashes);  // before the closing quote
      break;
    }
    out = put_backslashes(out, *c == L'"' ? 2 * backslashes + 1 : backslashes);
    *out++ = *c;
  }
  *out++ = L'"';
  *out = L'\0';
  return out;
}
