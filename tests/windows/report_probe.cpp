// report_probe.exe: calls one failure-reporting operation, so tests can compare its exact
// output and exit code. Usage: report_probe message <text> | os-error <code> | spec <template>
//                               | invariant | trim <text with \r \n escapes>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <string>

#include "base/report.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 100;
  std::wstring op = argv[1];
  char narrow[512] = {};
  if (argc > 2) wcstombs(narrow, argv[2], sizeof narrow - 1);
  if (op == L"message") die_with_message(narrow);
  if (op == L"os-error") die_with_os_error("Error, couldn't launch child", wcstol(argv[2], nullptr, 0));
  if (op == L"spec") die_with_spec_error(argv[2]);
  if (op == L"open") die_with_open_failure(argv[2]);
  if (op == L"invariant") die_on_broken_invariant();
  return 100;
}
