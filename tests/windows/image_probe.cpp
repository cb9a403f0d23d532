// image_probe.exe <exe>: what Windows reads of an exe's image: whether the checksum its header
// holds is the one the system computes, and every resource (type, id, language,
// size and an FNV-1a hash of its bytes), enumerated through the resource API.
#include <windows.h>
#include <imagehlp.h>

#include <stdint.h>
#include <stdio.h>

namespace {

HMODULE Image;

uint32_t fnv1a(const unsigned char* bytes, DWORD size) {
  uint32_t hash = 2166136261u;
  for (DWORD i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

BOOL CALLBACK print_language(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR) {
  HRSRC found = FindResourceExW(Image, type, name, language);
  DWORD size = found ? SizeofResource(Image, found) : 0;
  const void* data = found ? LockResource(LoadResource(Image, found)) : nullptr;
  auto bytes = static_cast<const unsigned char*>(data);
  printf("resource type=%u id=%u language=0x%04x size=%lu hash=%08x\n",
         static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(type)),
         static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(name)), language, size,
         bytes ? fnv1a(bytes, size) : 0);
  return TRUE;
}

BOOL CALLBACK visit_name(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR) {
  return EnumResourceLanguagesW(module, type, name, print_language, 0);
}

BOOL CALLBACK visit_type(HMODULE module, LPWSTR type, LONG_PTR) {
  return EnumResourceNamesW(module, type, visit_name, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 1;
  DWORD in_header = 0, computed = 0;
  if (MapFileAndCheckSumW(argv[1], &in_header, &computed) != CHECKSUM_SUCCESS) {
    printf("checksum unreadable\n");
  } else {
    printf("checksum %s\n", in_header == computed ? "ok" : "wrong");
  }
  Image = LoadLibraryExW(argv[1], nullptr,
                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (Image == nullptr) {
    printf("image unloadable\n");
    return 0;
  }
  EnumResourceTypesW(Image, visit_type, 0);
  return 0;
}
