// The consumer's main DLL: reads its data file from the payload and exits 42.
#include <stdio.h>
#include <wchar.h>

#include <string>

extern "C" __declspec(dllexport) int run_code(int, wchar_t**, const wchar_t* self) {
  std::wstring path = self;
  path = path.substr(0, path.rfind(L'\\')) + L"\\greeting.txt";
  FILE* file = _wfopen(path.c_str(), L"rb");
  char line[128] = "missing";
  if (file != nullptr) {
    if (!fgets(line, sizeof line, file)) line[0] = '\0';
    fclose(file);
  }
  printf("consumer ok: %s", line);
  return 42;
}
