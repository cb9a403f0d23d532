// self_path_probe.exe: prints the launcher's own-path forms for the tests, one per line, as
// UTF-8: "plain=<plain form>" and "resolved=<resolved form>".
#include <windows.h>

#include <string>

#include "fs/self_path.h"

namespace {

void print_line(const char* label, const wchar_t* value) {
  std::string line = label;
  int n = WideCharToMultiByte(CP_UTF8, 0, value, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, value, -1, &bytes[0], n, nullptr, nullptr);
  line += bytes + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
}

}  // namespace

int wmain() {
  print_line("plain=", resolve_self_path(false));
  print_line("resolved=", resolve_self_path(true));
  return 0;
}
