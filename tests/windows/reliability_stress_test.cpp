// Many launchers of one packaged application under Wine: 1,000 runs in a row and 50 at once.
// Every run gives back its exit code and has a target directory of its own, and nothing is left
// in TEMP afterwards. Run alone (reliability_stress): the timings printed measure the launcher,
// not the load of other tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <stdio.h>
#include <string>
#include <thread>
#include <vector>

#include "launcher_runs.h"
#include "link_support.h"
#include "process_runner.h"

namespace {

TEST(Stress, AThousandRunsInARow) {
  std::wstring temp = fresh_directory(L"rel_thousand");
  std::set<std::string> directories;
  std::atomic<int> wine_start_failures{0};
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 1000; ++i) {
    int code = (i * 37) % 256;
    RunResult r = run_launcher_past_wine_start_failure(
        bin(L"rel_probe.exe"), L"args exit " + std::to_wstring(code), with_temp(temp), &wine_start_failures);
    ASSERT_FALSE(r.timed_out) << i;
    ASSERT_EQ(r.exit_code, static_cast<unsigned long>(code)) << i << r.err;
    directories.insert(folder_of(value(r.out, "path=")));
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("1000 sequential runs: %.1f s (%.0f ms per run); Wine failed to start %d children\n",
         seconds, seconds, wine_start_failures.load());
  EXPECT_LE(wine_start_failures.load(), 3);
  EXPECT_EQ(directories.size(), 1000u);
  EXPECT_EQ(leftovers(temp).size(), 0u);
  EXPECT_EQ(names_in(temp).size(), 0u);  // nothing else either
}

TEST(Stress, FiftyLaunchersAtOnce) {
  std::wstring temp = fresh_directory(L"rel_fifty");
  std::vector<RunResult> results(50);
  std::vector<std::thread> runs;
  std::atomic<int> wine_start_failures{0};
  auto start = std::chrono::steady_clock::now();
  for (size_t i = 0; i < results.size(); ++i) {
    runs.emplace_back([i, &results, &temp, &wine_start_failures] {
      results[i] = run_launcher_past_wine_start_failure(
          bin(L"rel_probe.exe"), L"args sleep 500 exit " + std::to_wstring(100 + i), with_temp(temp),
          &wine_start_failures);
    });
  }
  for (std::thread& t : runs) t.join();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("50 concurrent runs: %.1f s; Wine failed to start %d children\n", seconds,
         wine_start_failures.load());
  EXPECT_LE(wine_start_failures.load(), 3);
  std::set<std::string> directories;
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_FALSE(results[i].timed_out) << i;
    EXPECT_EQ(results[i].exit_code, 100 + i) << results[i].err;
    directories.insert(folder_of(value(results[i].out, "path=")));
  }
  EXPECT_EQ(directories.size(), 50u);
  EXPECT_EQ(leftovers(temp).size(), 0u);
  EXPECT_EQ(names_in(temp).size(), 0u);
}

}  // namespace
