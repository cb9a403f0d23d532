// exit_code_runner.exe PROGRAM ARGS...: runs the rest of its own command line as a program
// with this console and these standard handles, waits for it and prints "exit=0x%08lX" with
// its whole 32-bit exit code. Outlives Ctrl+C: the console's events are for the program.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

namespace {

BOOL WINAPI keep_running(DWORD) { return TRUE; }

// The command line after the runner's own name, as it was typed.
const wchar_t* rest_of_command_line() {
  const wchar_t* c = GetCommandLineW();
  bool quoted = false;
  for (; *c != L'\0' && (quoted || (*c != L' ' && *c != L'\t')); ++c) {
    if (*c == L'"') quoted = !quoted;
  }
  while (*c == L' ' || *c == L'\t') ++c;
  return c;
}

}  // namespace

int wmain() {
  SetConsoleCtrlHandler(keep_running, TRUE);
  static wchar_t line[32768];
  wcsncpy(line, rest_of_command_line(), 32767);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    printf("start failed=%lu\n", GetLastError());
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  printf("exit=0x%08lX\n", code);
  return 0;
}
