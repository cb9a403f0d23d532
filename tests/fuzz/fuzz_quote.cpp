// Fuzz target: argument quoting (format/command_line.cpp) as a round trip. The input's 16-bit
// units are argument vectors (a 0 unit ends an argument); they are quoted into a child command
// line the way the parent builds it (supervise/child.cpp: the program path, then a blank and
// the quoted argument for each, into a buffer of exactly the units quoted_length counts) and
// split again by reference splitters written here from the Windows command-line rules:
//  - argv[0]: up to the next quote when it starts with one (no backslash rules), otherwise up to
//    the first blank or tab;
//  - 2n backslashes before a quote give n backslashes and the quote toggles quoting; 2n+1 give n
//    backslashes and a literal quote; backslashes anywhere else are literal;
//  - outside quotes blanks and tabs separate arguments;
//  - a doubled quote inside quotes: CommandLineToArgvW's older rule ends the quoted part there
//    (toggle twice), the runtime's start-up (msvcrt) gives a literal quote and stays quoted.
// Both splitters must return exactly the non-empty arguments (the launcher drops empty ones).
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "format/command_line.h"

namespace {

enum class DoubledQuote { kToggles, kLiteral };

std::vector<std::wstring> split(const std::wstring& line, DoubledQuote rule) {
  std::vector<std::wstring> args;
  size_t i = 0, n = line.size();
  std::wstring first;
  if (i < n && line[i] == L'"') {
    for (++i; i < n && line[i] != L'"'; ++i) first += line[i];
    if (i < n) ++i;
  } else {
    for (; i < n && line[i] != L' ' && line[i] != L'\t'; ++i) first += line[i];
  }
  args.push_back(first);
  for (;;) {
    while (i < n && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i >= n) break;
    std::wstring arg;
    bool quoted = false;
    while (i < n) {
      wchar_t c = line[i];
      if (!quoted && (c == L' ' || c == L'\t')) break;
      if (c == L'\\') {
        size_t k = 0;
        while (i < n && line[i] == L'\\') { ++k; ++i; }
        if (i < n && line[i] == L'"') {
          arg.append(k / 2, L'\\');
          if (k % 2 == 1) { arg += L'"'; ++i; }
        } else {
          arg.append(k, L'\\');
        }
        continue;
      }
      if (c == L'"') {
        if (quoted && i + 1 < n && line[i + 1] == L'"' && rule == DoubledQuote::kLiteral) {
          arg += L'"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

const wchar_t* const kPrograms[] = {L"C:\\veldro\\app.exe", L"C:\\Program Files\\Veldro App\\app.exe"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const wchar_t* program = kPrograms[data[0] & 1];
  std::vector<std::wstring> arguments(1);
  for (size_t i = 1; i + 1 < size; i += 2) {
    wchar_t unit = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) {
      arguments.emplace_back();
    } else {
      arguments.back() += unit;
    }
  }

  // The line as the parent counts it before building it: every unit written is counted.
  size_t units = arguments.size() + quoted_length(program);
  for (const std::wstring& argument : arguments) units += quoted_length(argument.c_str());
  std::vector<wchar_t> storage(units + 1);
  wchar_t* end = quote_argument(storage.data(), program);
  for (const std::wstring& argument : arguments) {
    *end++ = L' ';
    end = quote_argument(end, argument.c_str());
  }
  if (static_cast<size_t>(end - storage.data()) != units || *end != L'\0') abort();

  std::vector<std::wstring> expected = {program};
  for (const std::wstring& argument : arguments) {
    if (!argument.empty()) expected.push_back(argument);
  }
  std::wstring text(storage.data(), units);
  if (split(text, DoubledQuote::kToggles) != expected) abort();
  if (split(text, DoubledQuote::kLiteral) != expected) abort();
  return 0;
}
