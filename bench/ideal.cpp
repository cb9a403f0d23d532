// bench_ideal: the floor for the launcher's extraction work. It carries the same payload
// object in its image, decodes the whole frame with one call into memory, writes each entry
// with one WriteFile into %TEMP%\ideal_<pid>, and deletes that folder file by file without
// any check (plain_delete.h). Exit 0 on success, 2 on any failure.
// With --times it prints how long each of the three steps took (decode, write, delete).
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <zstd.h>

#include "plain_delete.h"

extern "C" {
extern const unsigned char veldro_payload[];
extern const uint64_t veldro_payload_size;
}

namespace {

wchar_t root[MAX_PATH];
wchar_t path[MAX_PATH * 4];

// Creates every folder on the way to the file at path (backslash separated, below root).
void make_parents(size_t root_length) {
  for (size_t i = root_length + 1; path[i]; ++i) {
    if (path[i] == L'\\') {
      path[i] = 0;
      CreateDirectoryW(path, nullptr);
      path[i] = L'\\';
    }
  }
}

double now_ms() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool times = argc > 1 && wcscmp(argv[1], L"--times") == 0;
  double begin = now_ms();
  const unsigned char* frame = veldro_payload + 3;
  size_t available = static_cast<size_t>(veldro_payload_size - 3);
  size_t frame_size = ZSTD_findFrameCompressedSize(frame, available);
  unsigned long long content = ZSTD_getFrameContentSize(frame, available);
  if (ZSTD_isError(frame_size) || content == ZSTD_CONTENTSIZE_UNKNOWN ||
      content == ZSTD_CONTENTSIZE_ERROR)
    return 2;
  unsigned char* stream = static_cast<unsigned char*>(malloc(content));
  if (!stream) return 2;
  if (ZSTD_decompress(stream, content, frame, frame_size) != content) return 2;
  double decoded = now_ms();

  DWORD length = GetTempPathW(MAX_PATH, root);
  if (length == 0 || length > MAX_PATH - 32) return 2;
  swprintf(root + length, MAX_PATH - length, L"ideal_%lu", GetCurrentProcessId());
  if (!CreateDirectoryW(root, nullptr)) return 2;
  size_t root_length = wcslen(root);

  const unsigned char* at = stream;
  const unsigned char* end = stream + content;
  for (;;) {
    size_t name_length = 0;
    wcscpy(path, root);
    path[root_length] = L'\\';
    for (;;) {
      if (at + 2 > end) return 2;
      wchar_t unit = static_cast<wchar_t>(at[0] | (at[1] << 8));
      at += 2;
      if (unit == 0) break;
      if (root_length + 2 + name_length >= sizeof path / sizeof path[0]) return 2;
      path[root_length + 1 + name_length++] = unit;
    }
    path[root_length + 1 + name_length] = 0;
    if (name_length == 0) break;
    uint64_t size;
    memcpy(&size, at, 8);
    at += 8;
    make_parents(root_length);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    if (size > 0 && !WriteFile(file, at, static_cast<DWORD>(size), &written, nullptr)) return 2;
    CloseHandle(file);
    at += size;
  }
  free(stream);
  double written = now_ms();

  static wchar_t tree[32768];
  wcscpy(tree, root);
  plain_delete(tree);
  if (GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES) return 2;
  if (times) {
    wprintf(L"decode\t%.3f\nwrite\t%.3f\ndelete\t%.3f\n", decoded - begin, written - decoded,
            now_ms() - written);
  }
  return 0;
}
