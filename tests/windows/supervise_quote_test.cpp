// Quoting of one argument for the child's command line: the example table of the quoting rules,
// and a round trip through the system's own splitting (CommandLineToArgvW) for the characters
// that need care.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/wide.h"
#include "process_runner.h"
#include "supervise/quote.h"

namespace {

std::wstring quoted(const std::wstring& argument) {
  static wchar_t storage[64];
  WideBuffer line = wide_buffer(storage, 64);
  append_quoted_to(&line, argument.c_str());
  EXPECT_EQ(line.length, wcslen(storage));
  EXPECT_EQ(quoted_length(argument.c_str()), line.length);  // what the line's check counts
  return storage;
}

// Q = double quote, B = backslash, _ = blank.
std::wstring notation(const char* text) {
  std::wstring out;
  for (const char* c = text; *c; ++c) out += *c == 'Q' ? L'"' : *c == 'B' ? L'\\' : *c == '_' ? L' ' : wchar_t(*c);
  return out;
}

TEST(AppendQuoted, MatchesTheExampleTable) {
  const struct {
    const char* argument;
    const char* appended;
  } cases[] = {
      {"aBb", "aBb"},          {"aBBB", "aBBB"},          {"a_b", "Qa_bQ"},
      {"a_bB", "Qa_bBBQ"},     {"a_bBB", "Qa_bBBBBQ"},    {"aQb", "QaBQbQ"},
      {"aBQb", "QaBBBQbQ"},    {"aBB_b", "QaBB_bQ"},      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(quoted(notation(c.argument)), notation(c.appended)) << c.argument;
}

TEST(AppendQuoted, OnlyBlankTabLineFeedVerticalTabAndQuoteTriggerQuotes) {
  for (const wchar_t* trigger : {L"a b", L"a\tb", L"a\nb", L"a\vb", L"a\"b"}) {
    std::wstring out = quoted(trigger);
    EXPECT_EQ(out.front(), L'"');
    EXPECT_EQ(out.back(), L'"');
  }
  for (const wchar_t* plain : {L"a\\b", L"a\rb", L"*?.txt", L"caf\u00e9", L"a'b", L"a&b|c^d<e>f"}) {
    EXPECT_EQ(quoted(plain), plain);
  }
}

TEST(AppendQuoted, SplitsBackToTheSameArguments) {
  const std::vector<std::wstring> arguments = {
      L"two words", L"tab\there",   L"say \"hi\"",    L"\"",          L"\\\"",
      L"dir\\ with\\", L"x \\\\",    L"a\\\\\"b c",   L"\\\\server\\share x\\", L"\"\"",
      L"line\nfeed", L"v\vtab",     L"caf\u00e9 \u65e5\u672c", L"\U0001F600 x",
  };
  std::wstring line = L"prog";
  for (const std::wstring& a : arguments) line += L" " + quoted(a);
  int count = 0;
  wchar_t** split = CommandLineToArgvW(line.c_str(), &count);
  ASSERT_NE(split, nullptr);
  ASSERT_EQ(count, static_cast<int>(arguments.size()) + 1);
  for (size_t i = 0; i < arguments.size(); ++i) EXPECT_EQ(split[i + 1], arguments[i]) << i;
  LocalFree(split);
}

TEST(AppendQuotedDeathTest, AbortsWhenTheLineWouldOverflow) {
  wchar_t storage[6];
  WideBuffer line = wide_buffer(storage, 6);
  append_quoted_to(&line, L"a b");  // five units and the terminator: exactly full
  EXPECT_EQ(std::wstring(storage), L"\"a b\"");
  EXPECT_EXIT(append_quoted_to(&line, L"x"), ::testing::ExitedWithCode(3), "");
}

// build_child_command_line over the probe's own raw command line: element 0 becomes the module
// path, every argument is re-quoted, an empty one leaves only its separating blank.
TEST(ChildCommandLine, IsTheModulePathAndTheRequotedArguments) {
  std::wstring dir = fresh_directory(L"child_line") + L"\\dir with blank";
  CreateDirectoryW(dir.c_str(), nullptr);
  std::wstring exe = dir + L"\\command_line_probe.exe";
  ASSERT_TRUE(CopyFileW((test_bin_dir() + L"command_line_probe.exe").c_str(), exe.c_str(), FALSE));
  const std::string quoted_exe = "\"" + utf8(exe) + "\"";

  const struct {
    const wchar_t* raw;  // after the program name as typed
    const char* rebuilt;
  } cases[] = {
      {L"", ""},
      {L"a \"\" \"b c\" \"\" d", " a  \"b c\"  d"},
      {L"\"\"", " "},
      {L"C:\\dir\\ \"x y\\\\\" say\\\"hi\\\"", " C:\\dir\\ \"x y\\\\\" \"say\\\"hi\\\"\""},
      {L"\"tab\there\" *.txt caf\u00e9", " \"tab\there\" *.txt caf\xc3\xa9"},
  };
  for (const auto& c : cases) {
    RunResult r = run_program(exe, std::wstring(L"typed-name ") + c.raw);
    EXPECT_EQ(r.exit_code, 0u) << utf8(c.raw);
    EXPECT_EQ(r.out, quoted_exe + c.rebuilt) << utf8(c.raw);
  }
}

// The child command line takes what CreateProcessW takes, 32,767 units with its terminator;
// a line one longer ends the parent with its line, before any child is started. The typed
// line is short: the module path that replaces "p" makes the child's long.
TEST(ChildCommandLine, IsRefusedBeyondWhatTheSystemTakes) {
  std::wstring exe = test_bin_dir() + L"command_line_probe.exe";
  size_t quotes = exe.find(L' ') == std::wstring::npos ? 0 : 2;
  size_t room = 32766 - exe.size() - quotes - 1;  // units left for one argument after "<exe> "
  RunResult fits = run_program(exe, L"p " + std::wstring(room, L'x'));
  EXPECT_EQ(fits.exit_code, 0u);
  EXPECT_EQ(fits.out.size(), 32766u);
  // Quoting counts: a blank makes two more units.
  RunResult quoted_over = run_program(exe, L"p \"" + std::wstring(room - 2, L'x') + L" \"");
  EXPECT_EQ(quoted_over.exit_code, 2u);
  EXPECT_EQ(quoted_over.err, "Error, command line too long for the child: 32767 characters, at most 32766.\r\n");
  RunResult over = run_program(exe, L"p " + std::wstring(room + 1, L'x'));
  EXPECT_EQ(over.exit_code, 2u);
  EXPECT_EQ(over.out, "");
  EXPECT_EQ(over.err, "Error, command line too long for the child: 32767 characters, at most 32766.\r\n");
}

}  // namespace
