// extract_bench.exe <payload.bin> <folder> [rounds]: where the time of a run's file work goes,
// over a payload file written by `veldro-pack pack --payload`. Each round extracts the
// parent's way into a fresh target below <folder>, once created plainly and once with the
// launcher's private access control list (which every file then inherits), in alternating
// order, and removes each with the clean-up's walk. Prints the seconds of each step and the
// cost per entry. Not a test; built on request (target extract_bench).
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "extract_support.h"
#include "fs/private_dir.h"
#include "supervise/tree_removal.h"

namespace {

double seconds_of(void (*step)(const std::wstring&), const std::wstring& target) {
  LARGE_INTEGER start, end, frequency;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  step(target);
  QueryPerformanceCounter(&end);
  return static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

void remove_whole(const std::wstring& target) { remove_tree(target.c_str()); }

// Files below folder (the entries the loop wrote).
unsigned count_files(const std::wstring& folder) {
  unsigned count = 0;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                 ? count_files(folder + L"\\" + name)
                 : 1;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 1;
  HANDLE file =
      CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  LARGE_INTEGER size;
  GetFileSizeEx(file, &size);
  std::vector<unsigned char> payload(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  for (size_t done = 0; done < payload.size(); done += got) {
    if (!ReadFile(file, payload.data() + done, static_cast<DWORD>(payload.size() - done), &got,
                  nullptr) ||
        got == 0)
      return 1;
  }
  CloseHandle(file);
  int rounds = argc > 3 ? _wtoi(argv[3]) : 1;

  printf("payload %.1f MB\n%-6s %-8s %8s %10s %10s %12s %12s\n", payload.size() / 1048576.0,
         "round", "target", "entries", "extract s", "remove s", "extract ms/e", "remove ms/e");
  for (int round = 0; round < rounds; ++round) {
    // The order alternates: the disk slows down as a run goes on, and neither may always come
    // second.
    for (bool second : {false, true}) {
      bool private_acl = second != (round % 2 == 1);
      // A name of its own each time: the directory registry remembers the folders made before.
      std::wstring target = std::wstring(argv[2]) + L"\\extract_bench_" +
                            std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(round) +
                            (private_acl ? L"_private" : L"_plain");
      if (private_acl ? create_private_directory(target.c_str()) != 0
                      : !CreateDirectoryW(target.c_str(), nullptr)) {
        return 1;
      }
      double extract = time_entry_loop(target, payload);
      unsigned entries = count_files(target);
      double removal = seconds_of(remove_whole, target);
      printf("%-6d %-8s %8u %10.3f %10.3f %12.4f %12.4f\n", round, private_acl ? "private" : "plain",
             entries, extract, removal, 1000 * extract / entries, 1000 * removal / entries);
      if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return 2;
    }
  }
  return 0;
}
