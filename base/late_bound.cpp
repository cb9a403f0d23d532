// Late-bound system functions (see late_bound.h).
#include "base/late_bound.h"

#include <windows.h>

#include "base/report.h"

void* late_bound_function(const wchar_t* dll, const char* function) {
  // A DLL once loaded stays loaded: later calls find it without taking another reference.
  HMODULE module = GetModuleHandleW(dll);
  if (module == nullptr) module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  FARPROC address = module != nullptr ? GetProcAddress(module, function) : nullptr;
  if (address == nullptr) die_on_broken_invariant();
  return reinterpret_cast<void*>(address);
}

bool running_under_wine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}
