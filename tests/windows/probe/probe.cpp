// probe.dll: a packaged application for the launcher's tests. run_code executes its arguments
// as a little script, so one DLL serves every scenario:
//   args            print every argv element and the path it was loaded from
//   env NAME        print NAME's value, or "NAME unset"
//   sleep MS        sleep
//   wait-file PATH  wait (up to 60 s) until PATH exists
//   crash           write through a null pointer (access violation)
//   exit N          return N (decimal or 0x hex) and stop
//   echo TEXT       print TEXT and a line break
//   on-ctrl-c MS    on Ctrl+C: sleep MS, print "child handled Ctrl+C", exit with 42;
//                   with "ignore" for MS: swallow the event and run on
// Output is UTF-8, written straight to the standard output handle (no buffering to lose).
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

#include <string>

namespace {

void print(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool IgnoreCtrlC = false;
DWORD CtrlCDelayMs = 0;

BOOL WINAPI on_ctrl_c(DWORD type) {
  if (type != CTRL_C_EVENT) return FALSE;
  if (IgnoreCtrlC) return TRUE;
  Sleep(CtrlCDelayMs);
  print(L"child handled Ctrl+C\n");
  ExitProcess(42);
}

}  // namespace

extern "C" __declspec(dllexport) int run_code(int argc, wchar_t** argv, const wchar_t* path) {
  for (int i = 1; i < argc; ++i) {
    std::wstring action = argv[i];
    if (action == L"args") {
      for (int k = 0; k < argc; ++k) print(L"argv[" + std::to_wstring(k) + L"]=" + argv[k] + L"\n");
      print(std::wstring(L"path=") + path + L"\n");
    } else if (action == L"env" && i + 1 < argc) {
      const wchar_t* name = argv[++i];
      wchar_t value[32768];
      DWORD n = GetEnvironmentVariableW(name, value, 32768);
      print(n ? std::wstring(name) + L"=" + value + L"\n" : std::wstring(name) + L" unset\n");
    } else if (action == L"sleep" && i + 1 < argc) {
      Sleep(wcstoul(argv[++i], nullptr, 10));
    } else if (action == L"wait-file" && i + 1 < argc) {
      const wchar_t* awaited = argv[++i];
      for (int tries = 0; tries < 6000 && GetFileAttributesW(awaited) == INVALID_FILE_ATTRIBUTES; ++tries) {
        Sleep(10);
      }
    } else if (action == L"crash") {
      *static_cast<volatile int*>(nullptr) = 1;
    } else if (action == L"echo" && i + 1 < argc) {
      print(std::wstring(argv[++i]) + L"\n");
    } else if (action == L"on-ctrl-c" && i + 1 < argc) {
      std::wstring how = argv[++i];
      IgnoreCtrlC = how == L"ignore";
      CtrlCDelayMs = wcstoul(how.c_str(), nullptr, 10);
      SetConsoleCtrlHandler(on_ctrl_c, TRUE);
    } else if (action == L"exit" && i + 1 < argc) {
      return static_cast<int>(wcstoul(argv[++i], nullptr, 0));
    }
  }
  return 0;
}
