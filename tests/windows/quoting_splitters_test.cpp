// The parent's quoting against the real splitters under Wine: random argument vectors quoted as
// the parent quotes them for its child's command line (format/command_line.h) come back whole
// from the system's CommandLineToArgvW and from the C runtime's start-up of a real program
// (reliability_argv_probe.exe). The host fuzz target checks the same quoting against splitters
// written from these rules; this is where the rules meet the real ones.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "launcher_runs.h"
#include "process_runner.h"
#include "format/command_line.h"

namespace {

// Random argument vectors from characters that matter to the splitting rules, and some that do
// not; no '#' (the batch separator below). Seeded: the same vectors on every run.
std::vector<std::vector<std::wstring>> random_vectors(unsigned seed, size_t count) {
  const std::wstring alphabet = L"  \t\"\"\"\\\\\\\\ab-*?\u00e9\u65e5\n\v'&^%";
  std::mt19937 generator(seed);
  std::vector<std::vector<std::wstring>> vectors(count);
  for (auto& v : vectors) {
    size_t arguments = 1 + generator() % 6;
    for (size_t a = 0; a < arguments; ++a) {
      std::wstring argument;
      size_t length = generator() % 10;
      for (size_t i = 0; i < length; ++i) {
        if (generator() % 40 == 0) {
          argument += L"\U0001F600";  // a surrogate pair
        } else {
          argument += alphabet[generator() % alphabet.size()];
        }
      }
      v.push_back(argument);
    }
  }
  return vectors;
}

// The arguments as the parent puts them on the child's line: a blank, then the quoted argument
// (an empty one adds nothing and disappears in the split).
std::wstring quoted_line(const std::vector<std::wstring>& arguments) {
  std::wstring line;
  for (const std::wstring& a : arguments) {
    std::wstring quoted(quoted_length(a.c_str()) + 1, L'\0');
    quote_argument(&quoted[0], a.c_str());
    quoted.pop_back();
    line += L" " + quoted;
  }
  return line;
}

std::vector<std::wstring> without_empty(const std::vector<std::wstring>& arguments) {
  std::vector<std::wstring> kept;
  for (const std::wstring& a : arguments) {
    if (!a.empty()) kept.push_back(a);
  }
  return kept;
}

TEST(QuotingRoundTrip, CommandLineToArgvWGivesBackFiveThousandRandomVectors) {
  const auto vectors = random_vectors(20261209, 5000);
  size_t failures = 0;
  for (size_t k = 0; k < vectors.size(); ++k) {
    std::wstring line = L"\"C:\\Program Files\\app.exe\"" + quoted_line(vectors[k]);
    int count = 0;
    wchar_t** split = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    std::vector<std::wstring> got(split + 1, split + count);
    LocalFree(split);
    if (got != without_empty(vectors[k]) && ++failures <= 5) ADD_FAILURE() << "vector " << k << ": " << utf8(line);
  }
  EXPECT_EQ(failures, 0u);
}

TEST(QuotingRoundTrip, TheRuntimesStartUpGivesBackFiveThousandRandomVectors) {
  const auto vectors = random_vectors(20261210, 5000);
  const std::wstring probe = bin(L"reliability_argv_probe.exe");
  size_t next = 0, checked = 0, processes = 0;
  while (next < vectors.size()) {
    // As many vectors as fit on one command line, separated by a "#" argument.
    std::wstring line = quote(probe);
    std::vector<std::vector<std::wstring>> expected;
    while (next < vectors.size()) {
      std::wstring part = quoted_line(vectors[next]) + L" #";
      if (line.size() + part.size() > 30000) break;
      line += part;
      expected.push_back(without_empty(vectors[next++]));
    }
    RunResult r = run_program(probe, line);
    ++processes;
    ASSERT_EQ(r.exit_code, 0u);
    std::vector<std::vector<std::wstring>> got(1);
    size_t at = r.out.find('\n') + 1;  // element 0 is the program
    while (at < r.out.size()) {
      size_t end = r.out.find('\n', at);
      std::string hex = r.out.substr(at, end - at);
      std::wstring argument;
      for (size_t i = 0; i + 4 <= hex.size(); i += 4) argument += static_cast<wchar_t>(std::stoul(hex.substr(i, 4), nullptr, 16));
      if (argument == L"#") {
        got.emplace_back();
      } else {
        got.back().push_back(argument);
      }
      at = end + 1;
    }
    got.pop_back();  // what follows the last separator: nothing
    ASSERT_EQ(got.size(), expected.size()) << "process " << processes;
    for (size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k], expected[k]) << "vector " << (next - expected.size() + k);
    }
    checked += got.size();
  }
  EXPECT_EQ(checked, vectors.size());
  RecordProperty("processes", static_cast<int>(processes));
}

}  // namespace
