// Argument quoting: the table of examples, each written in exactly the units quoted_length
// counts. Random vectors quoted and split back: by the real splitters under Wine
// (tests/windows/quoting_splitters_test.cpp), by reference splitters under sanitizers
// (tests/fuzz/fuzz_quote.cpp).
#include "format/command_line.h"

#include <gtest/gtest.h>

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

}  // namespace
