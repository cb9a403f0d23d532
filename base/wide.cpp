// Bounded wide-string helpers (see wide.h).
#include "base/wide.h"

#include <stdlib.h>
#include <wchar.h>

#include "base/report.h"

void wide_copy(wchar_t* dst, size_t capacity, const wchar_t* src) {
  if (capacity == 0) die_on_broken_invariant();
  dst[0] = L'\0';
  wide_append(dst, capacity, src);
}

void wide_append(wchar_t* dst, size_t capacity, const wchar_t* src) {
  size_t used = wcslen(dst);
  size_t length = wcslen(src);
  if (used + length + 1 > capacity) die_on_broken_invariant();
  wmemcpy(dst + used, src, length + 1);
}

void wide_append_char(wchar_t* dst, size_t capacity, wchar_t c) {
  size_t used = wcslen(dst);
  if (used + 2 > capacity) die_on_broken_invariant();
  dst[used] = c;
  dst[used + 1] = L'\0';
}

void widen_narrow(wchar_t* dst, size_t capacity, const char* src) {
  size_t i = 0;
  for (; src[i] != '\0'; ++i) {
    if (i + 2 > capacity) die_on_broken_invariant();
    wchar_t wc = 0;
    if (mbtowc(&wc, &src[i], 1) != 1) die_on_broken_invariant();
    dst[i] = wc;
  }
  if (i + 1 > capacity) die_on_broken_invariant();
  dst[i] = L'\0';
}

WideBuffer wide_buffer(wchar_t* storage, size_t capacity) {
  if (capacity == 0) die_on_broken_invariant();
  storage[0] = L'\0';
  return {storage, capacity, 0};
}

void buffer_append_char(WideBuffer* buffer, wchar_t c) {
  if (buffer->length + 2 > buffer->capacity) die_on_broken_invariant();
  buffer->text[buffer->length++] = c;
  buffer->text[buffer->length] = L'\0';
}

void buffer_append(WideBuffer* buffer, const wchar_t* text) {
  size_t length = wcslen(text);
  if (buffer->length + length + 1 > buffer->capacity) die_on_broken_invariant();
  wmemcpy(buffer->text + buffer->length, text, length + 1);
  buffer->length += length;
}
