// command_line_probe.exe: builds the child command line from its own raw command line, as a
// parent launcher does before it starts its child, and prints it as UTF-8 on stdout. Lets a
// test compare the exact line for any command line it starts the probe with.
#include <windows.h>

#include <string>

#include "supervise/roles.h"

int wmain() {
  build_child_command_line();
  const wchar_t* line = child_command_line();
  int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(n - 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, line, -1, &bytes[0], n, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return 0;
}
