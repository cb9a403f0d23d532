// bench_runner: the Windows side of the benchmark, run under Wine (or on Windows).
//   bench_runner round <plan.txt> <round>   runs every contender of the plan once, starting
//       with contender <round> mod count so that no contender always goes first, and prints
//       one line per contender: name, milliseconds, exit code, target folders left behind,
//       and for a launcher the milliseconds before and after its application ran ("-" else).
//   bench_runner mem <exe> [args...]        runs <exe> once and prints the peak working set
//       and peak private bytes of it and of the child process it starts (the benchmark's
//       application keeps the child alive 300 ms for it, see app.cpp).
// A plan line is: name TAB folder-to-delete-afterwards-or-"-" TAB "stamp" or "-" TAB command
// line (UTF-8; %VARIABLES% are expanded). A folder to delete is removed after the process
// exits, inside the timed span (7-Zip leaves its output behind; the launcher and the ideal
// baseline remove their own), the way plain_delete.h does. "stamp" marks a launcher of the
// benchmark's application: it runs with BENCH_APP_STAMP set and its standard output in a
// file, where the application writes the performance counter on entry (see app.cpp).
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "plain_delete.h"

namespace {

constexpr int kMaxContenders = 32;
constexpr int kLine = 8192;

struct Contender {
  wchar_t name[128];
  wchar_t folder[MAX_PATH];
  bool stamp;
  wchar_t command[kLine];
};

Contender contenders[kMaxContenders];
int contender_count = 0;

double now_ms() {
  static LARGE_INTEGER frequency;
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void expand(const wchar_t* in, wchar_t* out, DWORD units) {
  DWORD n = ExpandEnvironmentStringsW(in, out, units);
  if (n == 0 || n > units) {
    fwprintf(stderr, L"bench_runner: cannot expand %ls\n", in);
    exit(3);
  }
}

bool read_plan(const wchar_t* path) {
  FILE* file = _wfopen(path, L"rb");
  if (!file) return false;
  static char line[kLine];
  static wchar_t wide[kLine];
  while (fgets(line, sizeof line, file)) {
    size_t length = strlen(line);
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) line[--length] = 0;
    if (length == 0) continue;
    if (contender_count == kMaxContenders) break;
    if (!MultiByteToWideChar(CP_UTF8, 0, line, -1, wide, kLine)) continue;
    wchar_t* tab1 = wcschr(wide, L'\t');
    wchar_t* tab2 = tab1 ? wcschr(tab1 + 1, L'\t') : nullptr;
    wchar_t* tab3 = tab2 ? wcschr(tab2 + 1, L'\t') : nullptr;
    if (!tab3) continue;
    *tab1 = 0;
    *tab2 = 0;
    *tab3 = 0;
    Contender& c = contenders[contender_count++];
    wcsncpy(c.name, wide, 127);
    c.folder[0] = 0;
    if (wcscmp(tab1 + 1, L"-") != 0) expand(tab1 + 1, c.folder, MAX_PATH);
    c.stamp = wcscmp(tab2 + 1, L"stamp") == 0;
    expand(tab3 + 1, c.command, kLine);
  }
  fclose(file);
  return contender_count > 0;
}

bool folder_exists(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void delete_tree(const wchar_t* path) {
  static wchar_t tree[32768];
  wcscpy(tree, path);
  plain_delete(tree);
}

// Target folders of the launcher (onefile_*) currently in %TEMP%.
int leftover_targets() {
  wchar_t pattern[MAX_PATH];
  expand(L"%TEMP%\\onefile_*", pattern, MAX_PATH);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do ++count; while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}

// Starts command; with output set, its standard output (and its children's) goes there.
bool start(wchar_t* command, PROCESS_INFORMATION* process, HANDLE output = nullptr) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (output) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
  }
  return CreateProcessW(nullptr, command, nullptr, nullptr, output != nullptr, 0, nullptr, nullptr,
                        &startup, process);
}

// An inheritable, empty file in %TEMP% for a stamped launcher's output.
HANDLE stamp_file(wchar_t* path) {
  expand(L"%TEMP%\\bench_stamp.txt", path, MAX_PATH);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, 0, nullptr);
}

// The performance counter the application wrote into the stamp file, in milliseconds; -1 when
// there is none.
double read_stamp_ms(const wchar_t* path) {
  FILE* file = _wfopen(path, L"rb");
  if (!file) return -1;
  long long counter = -1;
  if (fscanf(file, "%lld", &counter) != 1) counter = -1;
  fclose(file);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return counter < 0 ? -1 : static_cast<double>(counter) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

int run_round(int round) {
  for (int k = 0; k < contender_count; ++k) {
    Contender& c = contenders[(round + k) % contender_count];
    static wchar_t command[kLine];
    static wchar_t stamp_path[MAX_PATH];
    wcscpy(command, c.command);
    HANDLE output = c.stamp ? stamp_file(stamp_path) : nullptr;
    SetEnvironmentVariableW(L"BENCH_APP_STAMP", c.stamp ? L"1" : nullptr);
    PROCESS_INFORMATION process;
    double begin = now_ms();
    if (!start(command, &process, output)) {
      fwprintf(stderr, L"bench_runner: cannot start %ls (error %lu)\n", c.command, GetLastError());
      return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    double ended = now_ms();
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    if (c.folder[0]) delete_tree(c.folder);
    double elapsed = now_ms() - begin;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    int left = leftover_targets() + (c.folder[0] && folder_exists(c.folder) ? 1 : 0);
    wchar_t phases[64] = L"-\t-";
    if (output) {
      CloseHandle(output);
      double entered = read_stamp_ms(stamp_path);
      if (entered >= begin && entered <= ended) {
        swprintf(phases, 64, L"%.3f\t%.3f", entered - begin, ended - entered);
      }
    }
    wprintf(L"%ls\t%.3f\t%lu\t%d\t%ls\n", c.name, elapsed, code, left, phases);
    fflush(stdout);
  }
  return 0;
}

// Finds the process whose parent is parent_pid, or returns 0.
DWORD find_child(DWORD parent_pid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  DWORD found = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == parent_pid && entry.th32ProcessID != parent_pid) {
      found = entry.th32ProcessID;
      break;
    }
  }
  CloseHandle(snapshot);
  return found;
}

struct Peak {
  unsigned long long working_set = 0;
  unsigned long long private_bytes = 0;
};

// Reads the process's peaks. Windows keeps them readable after exit; Wine answers only while
// the process lives, so they are also sampled while it runs and the last answer stands.
void sample(HANDLE process, Peak* peak) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (process && GetProcessMemoryInfo(process, &counters, sizeof counters) &&
      counters.PeakWorkingSetSize > 0) {
    if (counters.PeakWorkingSetSize > peak->working_set) peak->working_set = counters.PeakWorkingSetSize;
    if (counters.PeakPagefileUsage > peak->private_bytes) peak->private_bytes = counters.PeakPagefileUsage;
  }
}

// Starts the command, finds its child (the process whose parent it is) as soon as it exists,
// samples both every millisecond until the parent has ended, reads them once more, and prints
// the parent's and the child's peak working set and peak private bytes.
int run_memory(wchar_t* command) {
  // The benchmark's application then keeps the child alive long enough to be sampled.
  SetEnvironmentVariableW(L"BENCH_APP_HOLD_MS", L"300");
  PROCESS_INFORMATION process;
  if (!start(command, &process)) {
    fwprintf(stderr, L"bench_runner: cannot start %ls (error %lu)\n", command, GetLastError());
    return 1;
  }
  HANDLE child = nullptr;
  Peak parent_peak, child_peak;
  for (;;) {
    if (!child) {
      DWORD child_pid = find_child(process.dwProcessId);
      if (child_pid) child = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE,
                                         FALSE, child_pid);
    }
    sample(process.hProcess, &parent_peak);
    sample(child, &child_peak);
    if (WaitForSingleObject(process.hProcess, child ? 1 : 0) == WAIT_OBJECT_0) break;
  }
  sample(process.hProcess, &parent_peak);
  sample(child, &child_peak);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  wprintf(L"parent\t%llu\t%llu\n", parent_peak.working_set, parent_peak.private_bytes);
  wprintf(L"child\t%llu\t%llu\n", child_peak.working_set, child_peak.private_bytes);
  wprintf(L"exit\t%lu\n", code);
  if (child) CloseHandle(child);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

// Gives the contenders a temp folder of their own, so that the folders counted as left behind
// are theirs, not those of other programs sharing the Wine prefix (tests running alongside).
void use_own_temp() {
  wchar_t temp[MAX_PATH];
  expand(L"%TEMP%\\veldro_bench", temp, MAX_PATH);
  CreateDirectoryW(temp, nullptr);
  SetEnvironmentVariableW(L"TEMP", temp);
  SetEnvironmentVariableW(L"TMP", temp);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 4 && wcscmp(argv[1], L"round") == 0) {
    use_own_temp();
    if (!read_plan(argv[2])) {
      fwprintf(stderr, L"bench_runner: cannot read plan %ls\n", argv[2]);
      return 2;
    }
    return run_round(_wtoi(argv[3]));
  }
  if (argc >= 3 && wcscmp(argv[1], L"mem") == 0) {
    // Rebuild the command line from argv[2] on, each argument quoted.
    static wchar_t command[kLine];
    command[0] = 0;
    for (int i = 2; i < argc; ++i) {
      if (wcslen(command) + wcslen(argv[i]) + 4 >= kLine) return 2;
      wcscat(command, L"\"");
      wcscat(command, argv[i]);
      wcscat(command, i + 1 < argc ? L"\" " : L"\"");
    }
    return run_memory(command);
  }
  fwprintf(stderr, L"usage: bench_runner round <plan> <round> | bench_runner mem <exe> [args]\n");
  return 2;
}
