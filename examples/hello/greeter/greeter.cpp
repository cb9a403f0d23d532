// greeter.dll: a second DLL of the sample, loaded by hello.dll from the lib\ subfolder.
#include <string>

extern "C" __declspec(dllexport) const wchar_t* greet() {
  return L"Hello from lib\\greeter.dll";
}
