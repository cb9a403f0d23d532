// Quoting of one argument for a Windows command line, so that the standard splitting rules
// (CommandLineToArgvW, the runtime's start-up) give it back unchanged. Portable.
#pragma once

#include "launcher/wide.h"

// Appends argument to line, in double quotes when it holds a blank, tab, line feed, vertical
// tab or double quote; backslashes are doubled only where they precede a double quote (or the
// closing quote). An empty argument appends nothing. Aborts when line would overflow.
void append_quoted_to(WideBuffer* line, const wchar_t* argument);

// The number of units append_quoted_to appends for argument.
size_t quoted_length(const wchar_t* argument);
