// resource_probe.exe <exe>: prints an exe's version strings, its manifest and its icon count,
// read back through the Windows resource and version APIs.
#include <windows.h>

#include <stdio.h>

#include <initializer_list>

namespace {

int icon_groups;

BOOL CALLBACK count_icon(HMODULE, LPCWSTR, LPWSTR, LONG_PTR) {
  ++icon_groups;
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 1;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
  char* info = new char[size ? size : 1];
  if (size == 0 || !GetFileVersionInfoW(argv[1], 0, size, info)) {
    printf("no version information\n");
  } else {
    for (const wchar_t* name : {L"CompanyName", L"ProductName", L"FileDescription", L"FileVersion",
                                L"ProductVersion", L"OriginalFilename"}) {
      wchar_t query[128];
      swprintf(query, 128, L"\\StringFileInfo\\040904B0\\%ls", name);
      wchar_t* value = nullptr;
      UINT length = 0;
      if (VerQueryValueW(info, query, reinterpret_cast<void**>(&value), &length)) {
        printf("%ls=%ls\n", name, value);
      }
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(info, L"\\", reinterpret_cast<void**>(&fixed), &length)) {
      printf("fixed=%lu.%lu.%lu.%lu\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
             HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    }
  }
  HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  HRSRC manifest = module ? FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) : nullptr;
  if (manifest != nullptr) {
    const char* text = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
    printf("manifest:\n%.*s\n", static_cast<int>(SizeofResource(module, manifest)), text);
  }
  if (module != nullptr) EnumResourceNamesW(module, MAKEINTRESOURCEW(14), count_icon, 0);
  printf("icon groups=%d\n", icon_groups);
  return 0;
}
