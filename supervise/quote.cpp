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
