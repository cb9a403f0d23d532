// failure_box_runner.exe CAPTION PROGRAM ARGS...: starts PROGRAM with ARGS and no standard
// handles at all, as Explorer starts a windowed program, and waits for a message box captioned
// CAPTION from it (or from a process it starts). Prints "box=<the box's text>" as UTF-8 and
// presses OK, or "box=none" when the program ends without one; then "exit=<code>".
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

#include <string>

namespace {

struct Search {
  const wchar_t* caption;
  HWND box;
};

BOOL CALLBACK find_box(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  wchar_t name[64], caption[512];
  GetClassNameW(window, name, 64);
  GetWindowTextW(window, caption, 512);
  if (wcscmp(name, L"#32770") == 0 && wcscmp(caption, search->caption) == 0 && IsWindowVisible(window)) {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

// The box's message: the longest text of its static controls (the icon is one without text).
BOOL CALLBACK longest_static(HWND control, LPARAM param) {
  std::wstring* text = reinterpret_cast<std::wstring*>(param);
  wchar_t name[64], value[8192];
  GetClassNameW(control, name, 64);
  if (_wcsicmp(name, L"Static") == 0 && GetWindowTextW(control, value, 8192) > static_cast<int>(text->size())) {
    *text = value;
  }
  return TRUE;
}

void print_utf8(const char* label, const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], n, nullptr, nullptr);
  printf("%s=%s\n", label, bytes.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 100;
  // The program's command line: this one's after the caption, as it was typed.
  const wchar_t* rest = wcsstr(GetCommandLineW(), argv[2]);
  if (rest == nullptr) return 101;
  if (rest > GetCommandLineW() && rest[-1] == L'"') --rest;
  std::wstring line = rest;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;  // all three none
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(argv[2], &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    printf("start failed=%lu\n", GetLastError());
    return 1;
  }
  Search search = {argv[1], nullptr};
  for (int i = 0; i < 600 && search.box == nullptr; ++i) {
    EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
    if (search.box == nullptr && WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  if (search.box != nullptr) {
    std::wstring text;
    EnumChildWindows(search.box, longest_static, reinterpret_cast<LPARAM>(&text));
    print_utf8("box", text);
    PostMessageW(search.box, WM_COMMAND, IDOK, 0);
  } else {
    printf("box=none\n");
  }
  DWORD code = 0xDEAD;
  if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  printf("exit=%lu\n", code);
  return 0;
}
