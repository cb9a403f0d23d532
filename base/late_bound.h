// System functions bound at their first call instead of imported. The launcher imports from
// kernel32 and msvcrt only; shell32, user32 and advapi32 are loaded by the process that calls
// into them, which the child never does. Under Wine, loading shell32 (with the user32 and
// ole32 it pulls in) would otherwise cost every child about a sixth of a whole run.
#pragma once

// The address of `function` in the system DLL `dll`, loaded from System32 only. A DLL or
// function that cannot be found ends the run as a broken invariant: both are part of every
// Windows the launcher runs on.
void* late_bound_function(const wchar_t* dll, const char* function);

// LATE_BOUND(L"shell32.dll", SHFileOperationW) is SHFileOperationW with the type its header
// declares; the header's declaration is only named, never linked.
#define LATE_BOUND(dll, function) \
  (reinterpret_cast<decltype(&function)>(late_bound_function(dll, #function)))

// True when the system is Wine (its ntdll exports wine_get_version), for the few places where
// Wine behaves unlike Windows in a way the launcher must work around.
bool running_under_wine();
