// A main DLL with a static import of veldrodep.dll: run_code prints which veldrodep.dll the
// loader bound it to, so a test sees whether the payload's copy or a planted one was taken.
#include <windows.h>

#include <string>

extern "C" __declspec(dllimport) const wchar_t* dependency_origin();

extern "C" __declspec(dllexport) int run_code(int, wchar_t**, const wchar_t*) {
  wchar_t module[MAX_PATH] = L"?";
  GetModuleFileNameW(GetModuleHandleW(L"veldrodep.dll"), module, MAX_PATH);
  std::wstring line = std::wstring(L"dependency: ") + dependency_origin() + L" from " + module + L"\n";
  int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(n - 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, &bytes[0], n, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
  return 0;
}
