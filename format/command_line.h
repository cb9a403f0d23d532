// Quoting of one argument for a Windows command line, so that the standard splitting rules
// (CommandLineToArgvW, the C runtime's start-up) give it back unchanged: the inverse of
// "2n backslashes before a quote stand for n, 2n + 1 for n and a literal quote; backslashes
// elsewhere are literal". Portable.
#pragma once

#include <stddef.h>

// The number of units quote_argument writes for argument (its terminator not counted).
size_t quoted_length(const wchar_t* argument);

// Writes argument at out, in double quotes when it holds a blank, tab, line feed, vertical tab
// or double quote; backslashes are doubled only where they precede a double quote or the
// closing quote. An empty argument writes nothing. out has room for quoted_length(argument)
// units and a terminator; returns the position of the terminator written.
wchar_t* quote_argument(wchar_t* out, const wchar_t* argument);
