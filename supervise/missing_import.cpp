// Missing import of a main DLL (see missing_import.h).
#include "supervise/missing_import.h"

#include <windows.h>

#include <stdint.h>
#include <wchar.h>

#include "base/run_state.h"
#include "base/wide.h"

namespace {

constexpr size_t kNameUnits = MAX_PATH;

// The file mapped as an image (sections at their addresses) without running anything of it.
struct Image {
  const unsigned char* base;
  uint32_t size;
};

// A pointer to count bytes at rva, or null when they do not lie within the image.
const unsigned char* at(const Image& image, uint32_t rva, uint32_t count) {
  if (rva > image.size || count > image.size - rva) return nullptr;
  return image.base + rva;
}

bool map_image(const wchar_t* path, Image* image) {
  HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return false;
  // The low bits of a handle of this kind mark how it was loaded; the image starts below them.
  image->base = reinterpret_cast<const unsigned char*>(reinterpret_cast<uintptr_t>(module) & ~uintptr_t{3});
  image->size = sizeof(IMAGE_DOS_HEADER);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image->base);
  // The loader checked the headers before it mapped them; the first page holds them.
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0 ||
      dos->e_lfanew > static_cast<LONG>(4096 - sizeof(IMAGE_NT_HEADERS64))) {
    return false;
  }
  image->size = static_cast<uint32_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image->base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE ||
      nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC ||
      nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT ||
      nt->OptionalHeader.SizeOfImage < image->size) {
    return false;
  }
  image->size = nt->OptionalHeader.SizeOfImage;
  return true;
}

// The import table's entries, as (pointer, count); count 0 when there is none.
const IMAGE_IMPORT_DESCRIPTOR* import_table(const Image& image, uint32_t* count) {
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  *count = directory.Size / sizeof(IMAGE_IMPORT_DESCRIPTOR);
  auto table = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
      at(image, directory.VirtualAddress, *count * sizeof(IMAGE_IMPORT_DESCRIPTOR)));
  if (table == nullptr) *count = 0;
  return table;
}

// The imported DLL's name at rva, widened into name; false when it is not a terminated ASCII
// name of a usable length within the image.
bool read_name(const Image& image, uint32_t rva, wchar_t name[kNameUnits]) {
  for (size_t i = 0; i < kNameUnits; ++i) {
    const unsigned char* c = at(image, rva + static_cast<uint32_t>(i), 1);
    if (c == nullptr || *c >= 0x80) return false;
    name[i] = static_cast<wchar_t>(*c);
    if (*c == 0) return i > 0;
  }
  return false;
}

bool file_in(const wchar_t* folder, const wchar_t* name) {
  wchar_t path[kPathUnits];
  wide_copy(path, kPathUnits, folder);
  wide_append_char(path, kPathUnits, L'\\');
  wide_append(path, kPathUnits, name);
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool found_where_the_load_looks(const wchar_t* own_folder, const wchar_t* name) {
  return file_in(own_folder, name) || file_in(TargetDir, name) ||
         GetModuleHandleW(name) != nullptr ||
         LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) != nullptr;
}

}  // namespace

const wchar_t* find_missing_import(const wchar_t* dll_path) {
  Image image;
  if (!map_image(dll_path, &image)) return nullptr;
  static wchar_t own_folder[kPathUnits];
  wide_copy(own_folder, kPathUnits, dll_path);
  wchar_t* last_backslash = wcsrchr(own_folder, L'\\');
  if (last_backslash != nullptr) *last_backslash = L'\0';

  uint32_t count = 0;
  const IMAGE_IMPORT_DESCRIPTOR* table = import_table(image, &count);
  static wchar_t name[kNameUnits];
  for (uint32_t i = 0; i < count && table[i].Name != 0; ++i) {
    if (read_name(image, table[i].Name, name) && !found_where_the_load_looks(own_folder, name)) {
      return name;
    }
  }
  return nullptr;
}
