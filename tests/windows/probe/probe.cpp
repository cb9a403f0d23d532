// probe.dll: a packaged application for the launcher's tests. run_code executes its arguments
// as a little script, so one DLL serves every scenario:
//   args            print every argv element and the path it was loaded from
//   env NAME        print NAME's value, or "NAME unset"
//   sleep MS        sleep
//   wait-file PATH  wait (up to 60 s) until PATH exists
//   touch PATH      create the empty file PATH (tells a test that the application runs)
//   crash           write through a null pointer (access violation)
//   exit N          return N (decimal or 0x hex) and stop
//   echo TEXT       print TEXT and a line break
//   on-ctrl-c MS    on Ctrl+C: sleep MS, print "child handled Ctrl+C", exit with 42;
//                   with "ignore" for MS: swallow the event and run on
//   pid             print "pid=" and this process's id
//   console         print "console=" and the ids of the processes attached to this process's
//                   console, comma-separated ("console=none" without a console)
//   loaded DLL      print "DLL loaded" or "DLL not loaded": whether this process has DLL
//   exit-thread N   end the process with ExitProcess(N) from a thread of its own, while the
//                   main thread sleeps
//   hold EXE NAME RELEASE
//                   start EXE (detached, no inherited handles) with the file NAME of the main
//                   DLL's folder, RELEASE and an event name; wait until it signals that it holds
//                   the file open; print "holding"
//   run EXE ARGS    start "EXE" ARGS with this process's standard handles, wait, print
//                   "run exit=<code>"
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
    } else if (action == L"touch" && i + 1 < argc) {
      CloseHandle(CreateFileW(argv[++i], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    } else if (action == L"crash") {
      *static_cast<volatile int*>(nullptr) = 1;
    } else if (action == L"echo" && i + 1 < argc) {
      print(std::wstring(argv[++i]) + L"\n");
    } else if (action == L"on-ctrl-c" && i + 1 < argc) {
      std::wstring how = argv[++i];
      IgnoreCtrlC = how == L"ignore";
      CtrlCDelayMs = wcstoul(how.c_str(), nullptr, 10);
      SetConsoleCtrlHandler(on_ctrl_c, TRUE);
    } else if (action == L"loaded" && i + 1 < argc) {
      const wchar_t* dll = argv[++i];
      print(std::wstring(dll) + (GetModuleHandleW(dll) ? L" loaded\n" : L" not loaded\n"));
    } else if (action == L"console") {
      DWORD ids[64];
      DWORD count = GetConsoleProcessList(ids, 64);
      std::wstring list;
      for (DWORD k = 0; k < count && k < 64; ++k) list += (k ? L"," : L"") + std::to_wstring(ids[k]);
      print(L"console=" + (count ? list : L"none") + L"\n");
    } else if (action == L"pid") {
      print(L"pid=" + std::to_wstring(GetCurrentProcessId()) + L"\n");
    } else if (action == L"exit-thread" && i + 1 < argc) {
      static UINT code;
      code = wcstoul(argv[++i], nullptr, 0);
      CreateThread(nullptr, 0, [](void*) -> DWORD { ExitProcess(code); }, nullptr, 0, nullptr);
      Sleep(60000);
    } else if (action == L"hold" && i + 3 < argc) {
      std::wstring exe = argv[++i];
      std::wstring file = path;
      file = file.substr(0, file.rfind(L'\\') + 1) + argv[++i];
      std::wstring release = argv[++i];
      std::wstring event_name = L"veldro_probe_hold_" + std::to_wstring(GetCurrentProcessId());
      HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, event_name.c_str());
      std::wstring line = L"\"" + exe + L"\" \"" + file + L"\" \"" + release + L"\" " + event_name;
      STARTUPINFOW startup = {};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process = {};
      if (CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                         &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (WaitForSingleObject(ready, 10000) == WAIT_OBJECT_0) print(L"holding\n");
      }
      CloseHandle(ready);
    } else if (action == L"run" && i + 2 < argc) {
      std::wstring exe = argv[++i];
      std::wstring line = L"\"" + exe + L"\" " + argv[++i];
      STARTUPINFOW startup = {};
      startup.cb = sizeof startup;
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
      startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
      startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
      PROCESS_INFORMATION process = {};
      DWORD code = 0xFFFFFFFF;
      if (CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
      }
      print(L"run exit=" + std::to_wstring(code) + L"\n");
    } else if (action == L"exit" && i + 1 < argc) {
      return static_cast<int>(wcstoul(argv[++i], nullptr, 0));
    }
  }
  return 0;
}
