// Argument quoting: the table of examples, and a round trip of seeded random argument vectors
// through a splitter written here from the Windows rules.
#include "format/command_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t kGuardUnits = 8;

// quote_argument's text; it must write exactly quoted_length units and its terminator, and
// return the terminator's position.
std::wstring quoted(const std::wstring& argument) {
  const size_t length = quoted_length(argument.c_str());
  std::vector<wchar_t> out(length + 1 + kGuardUnits, L'#');
  wchar_t* end = quote_argument(out.data(), argument.c_str());
  EXPECT_EQ(static_cast<size_t>(end - out.data()), length);
  EXPECT_EQ(out[length], L'\0');
  EXPECT_EQ(std::wstring(out.end() - kGuardUnits, out.end()), std::wstring(kGuardUnits, L'#'));
  return std::wstring(out.data(), length);
}

// Q double quote, B backslash, _ blank, T tab, N line feed, V vertical tab, R carriage return,
// E e-acute; other characters stand for themselves.
std::wstring notation(const char* text) {
  const std::string letters = "QB_TNVRE";
  const std::wstring meant = L"\"\\ \t\n\v\r\u00e9";
  std::wstring out;
  for (const char* c = text; *c != '\0'; ++c) {
    size_t at = letters.find(*c);
    out += at == std::string::npos ? static_cast<wchar_t>(*c) : meant[at];
  }
  return out;
}

TEST(QuoteArgument, ExampleTable) {
  const struct {
    const char* argument;
    const char* quoted;
  } cases[] = {
      {"aBb", "aBb"},         {"aBBB", "aBBB"},           {"a_b", "Qa_bQ"},
      {"a_bB", "Qa_bBBQ"},    {"a_bBB", "Qa_bBBBBQ"},     {"aQb", "QaBQbQ"},
      {"aBQb", "QaBBBQbQ"},   {"aBB_b", "QaBB_bQ"},       {"", ""},
      {"Q", "QBQQ"},          {"BBQ", "QBBBBBQQ"},        {"_B", "Q_BBQ"},
      {"B_", "QB_Q"},         {"QQ", "QBQBQQ"},
      // Only blank, tab, line feed, vertical tab and quote call for quotes.
      {"aTb", "QaTbQ"},       {"aNb", "QaNbQ"},           {"aVb", "QaVbQ"},
      {"aRb", "aRb"},         {"*?.txt", "*?.txt"},       {"cafE", "cafE"},
      {"a'b", "a'b"},         {"a&b|c^d<e>f%g%", "a&b|c^d<e>f%g%"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(quoted(notation(c.argument)), notation(c.quoted)) << c.argument;
  }
}

// A command line split as the system and the C runtime split it: the program up to the next
// quote when it starts with one, else up to a blank or tab; then 2n backslashes before a quote
// give n and the quote opens or closes quoting, 2n + 1 give n and a literal quote, other
// backslashes are literal, and blanks and tabs outside quotes separate arguments.
std::vector<std::wstring> split(const std::wstring& line) {
  std::vector<std::wstring> args(1);
  size_t i = 0;
  const size_t n = line.size();
  if (n > 0 && line[0] == L'"') {
    for (i = 1; i < n && line[i] != L'"'; ++i) args[0] += line[i];
    ++i;
  } else {
    for (; i < n && line[i] != L' ' && line[i] != L'\t'; ++i) args[0] += line[i];
  }
  for (;;) {
    while (i < n && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i >= n) return args;
    std::wstring arg;
    bool quoted = false;
    while (i < n && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
      size_t backslashes = 0;
      while (i < n && line[i] == L'\\') ++backslashes, ++i;
      if (i < n && line[i] == L'"') {
        arg.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) arg += L'"';
        else quoted = !quoted;
        ++i;
      } else if (backslashes > 0) {
        arg.append(backslashes, L'\\');
      } else if (i < n) {
        arg += line[i++];
      }
    }
    args.push_back(arg);
  }
}

// The child's line as the launcher builds it (program path, then each argument after a blank)
// splits back into the program and the non-empty arguments; its length is what quoted_length
// predicts, which the launcher checks against the system's limit before building it.
TEST(QuoteArgument, RandomVectorsSplitBackUnchanged) {
  const std::wstring program = L"C:\\Program Files\\Veldro App\\app.exe";
  const std::wstring alphabet = L"ab \t\\\"\n\v\u00e9";
  std::mt19937 random(1);
  for (int vector = 0; vector < 3000; ++vector) {
    std::vector<std::wstring> arguments(random() % 6);
    for (std::wstring& argument : arguments) {
      argument.resize(random() % 10);
      for (wchar_t& c : argument) c = alphabet[random() % alphabet.size()];
    }
    std::wstring line = quoted(program);
    size_t predicted = quoted_length(program.c_str());
    std::vector<std::wstring> expected = {program};
    for (const std::wstring& argument : arguments) {
      line += L' ' + quoted(argument);
      predicted += 1 + quoted_length(argument.c_str());
      if (!argument.empty()) expected.push_back(argument);
    }
    EXPECT_EQ(line.size(), predicted);
    ASSERT_EQ(split(line), expected) << "vector " << vector;
  }
}

}  // namespace
