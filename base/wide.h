// Bounded wide-string helpers: every copy into a fixed-size buffer goes through these, and a
// copy that would not fit ends the process (a broken invariant), never a silent truncation.
#pragma once

#include <stddef.h>

// Copies src into dst, whose capacity counts units including the terminator.
void wide_copy(wchar_t* dst, size_t capacity, const wchar_t* src);

// Appends src to the terminated string in dst.
void wide_append(wchar_t* dst, size_t capacity, const wchar_t* src);

// Appends one unit to the terminated string in dst.
void wide_append_char(wchar_t* dst, size_t capacity, wchar_t c);

// Widens a narrow ASCII string one byte at a time with the runtime's multibyte conversion;
// each byte must give exactly one wide character.
void widen_narrow(wchar_t* dst, size_t capacity, const char* src);

// A fixed-size buffer being filled front to back, terminated at `length` at every moment;
// appends that keep the length need no rescan of the text.
struct WideBuffer {
  wchar_t* text;
  size_t capacity;  // units, terminator included
  size_t length;
};

// Starts an empty, terminated buffer over storage of capacity units.
WideBuffer wide_buffer(wchar_t* storage, size_t capacity);

// Appends one unit; aborts when it and the terminator do not fit.
void buffer_append_char(WideBuffer* buffer, wchar_t c);

// Appends a terminated string; aborts when it and the terminator do not fit.
void buffer_append(WideBuffer* buffer, const wchar_t* text);
