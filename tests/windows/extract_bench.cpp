// extract_bench.exe <payload.bin> <target folder>: times the parent's entry loop over a payload
// file written by `veldro-pack pack --payload`, and prints the throughput of the decoded bytes.
// Not a test; built on request (target extract_bench).
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "extract_support.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 1;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  LARGE_INTEGER size;
  GetFileSizeEx(file, &size);
  std::vector<unsigned char> payload(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  for (size_t done = 0; done < payload.size(); done += got) {
    if (!ReadFile(file, payload.data() + done, static_cast<DWORD>(payload.size() - done), &got, nullptr) || got == 0) return 1;
  }
  CloseHandle(file);

  double seconds = time_entry_loop(argv[2], payload);
  printf("payload %.1f MB, written %llu WriteFile calls, %.3f s\n", payload.size() / 1048576.0,
         static_cast<unsigned long long>(Counters.write_calls), seconds);
  return 0;
}
