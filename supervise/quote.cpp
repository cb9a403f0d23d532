// Argument quoting (see quote.h).
#include "supervise/quote.h"

#include <wchar.h>

namespace {

bool needs_quotes(const wchar_t* argument) {
  return wcspbrk(argument, L" \t\n\v\"") != nullptr;
}

void append_backslashes(WideBuffer* line, size_t count) {
  for (size_t i = 0; i < count; ++i) buffer_append_char(line, L'\\');
}

}  // namespace

void append_quoted_to(WideBuffer* line, const wchar_t* argument) {
  if (!needs_quotes(argument)) {
    buffer_append(line, argument);
    return;
  }
  buffer_append_char(line, L'"');
  for (const wchar_t* c = argument;; ++c) {
    size_t backslashes = 0;
    while (*c == L'\\') {
      ++backslashes;
      ++c;
    }
    if (*c == L'\0') {
      // Before the closing quote every backslash is doubled.
      append_backslashes(line, 2 * backslashes);
      break;
    }
    if (*c == L'"') {
      append_backslashes(line, 2 * backslashes + 1);
    } else {
      append_backslashes(line, backslashes);
    }
    buffer_append_char(line, *c);
  }
  buffer_append_char(line, L'"');
}

size_t quoted_length(const wchar_t* argument) {
  if (!needs_quotes(argument)) return wcslen(argument);
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
