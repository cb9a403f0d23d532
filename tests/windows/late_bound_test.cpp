// System functions bound at first call: the DLL is loaded only then, the function comes back
// with its declared type and works, and a function that does not exist ends the run as a
// broken invariant instead of being called through a null pointer.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "base/late_bound.h"

TEST(LateBound, LoadsTheDllAtFirstCallAndTheFunctionWorks) {
  ASSERT_EQ(GetModuleHandleW(L"shell32.dll"), nullptr) << "the test itself must not import shell32";
  auto split = LATE_BOUND(L"shell32.dll", CommandLineToArgvW);
  EXPECT_NE(GetModuleHandleW(L"shell32.dll"), nullptr);

  int count = 0;
  wchar_t** arguments = split(L"app.exe \"two words\" x\\\"y", &count);
  ASSERT_NE(arguments, nullptr);
  ASSERT_EQ(count, 3);
  EXPECT_STREQ(arguments[1], L"two words");
  EXPECT_STREQ(arguments[2], L"x\"y");
  LocalFree(arguments);

  // A second binding finds the loaded DLL and the same function.
  EXPECT_EQ(LATE_BOUND(L"shell32.dll", CommandLineToArgvW), split);
}

TEST(LateBoundDeathTest, AMissingFunctionOrDllEndsWithExitCode3) {
  EXPECT_EXIT(late_bound_function(L"shell32.dll", "NoSuchFunction"),
              ::testing::ExitedWithCode(3), "");
  EXPECT_EXIT(late_bound_function(L"no_such_library.dll", "run_code"),
              ::testing::ExitedWithCode(3), "");
}
