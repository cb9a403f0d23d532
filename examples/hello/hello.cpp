// hello.dll: the sample application's main DLL. The launcher unpacks the payload, loads this
// DLL in its child process and calls run_code. It shows what an application gets:
//   - its arguments (element 0 is the launcher's full path),
//   - the launcher's handoff variables,
//   - files of its own payload: a DLL in a subfolder and a data file,
// and returns the exit code given as `--exit N` (0 otherwise).
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

#include <string>

namespace {

// Prints UTF-16 text as UTF-8 on standard output.
void print(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], n, nullptr, nullptr);
  fputs(bytes.c_str(), stdout);
}

std::wstring folder_of(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

}  // namespace

extern "C" __declspec(dllexport) int run_code(int argc, wchar_t** argv, const wchar_t* self) {
  int exit_code = 0;
  print(L"hello.dll running from " + std::wstring(self) + L"\n");
  for (int i = 0; i < argc; ++i) {
    print(L"  argv[" + std::to_wstring(i) + L"] = " + argv[i] + L"\n");
    if (wcscmp(argv[i], L"--exit") == 0 && i + 1 < argc) exit_code = _wtoi(argv[i + 1]);
  }

  for (const wchar_t* name : {L"VELDRO_ONEFILE_PARENT", L"VELDRO_ONEFILE_DIRECTORY",
                              L"VELDRO_ORIGINAL_ARGV0", L"VELDRO_ONEFILE_TIME_US",
                              L"VELDRO_ONEFILE_RANDOM"}) {
    wchar_t value[32768] = L"(unset)";
    GetEnvironmentVariableW(name, value, 32768);
    print(std::wstring(L"  ") + name + L" = " + value + L"\n");
  }

  // A DLL of the payload in a subfolder, loaded by full path.
  std::wstring root = folder_of(self);
  HMODULE greeter = LoadLibraryExW((root + L"\\lib\\greeter.dll").c_str(), nullptr,
                                   LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  auto greet = greeter ? reinterpret_cast<const wchar_t* (*)()>(
                             reinterpret_cast<void*>(GetProcAddress(greeter, "greet")))
                       : nullptr;
  print(std::wstring(L"  ") + (greet ? greet() : L"lib\\greeter.dll missing") + L"\n");

  // A data file of the payload.
  FILE* data = _wfopen((root + L"\\data\\message.txt").c_str(), L"rb");
  char line[256] = "data\\message.txt missing\n";
  if (data != nullptr) {
    if (!fgets(line, sizeof line, data)) line[0] = '\0';
    fclose(data);
  }
  printf("  %s", line);
  fflush(stdout);
  return exit_code;
}
