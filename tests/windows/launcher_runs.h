// Running whole launchers the way the end-to-end tests do: each run with a TEMP of its own and
// none of the handoff variables inherited from the test, launchers kept running in the
// background, and reading back what the probe application printed ("name=value" lines).
#pragma once

#include <windows.h>

#include <atomic>
#include <iterator>
#include <string>
#include <vector>

#include "process_runner.h"

inline std::wstring bin(const std::wstring& name) { return test_bin_dir() + name; }
inline std::wstring quote(const std::wstring& text) { return L"\"" + text + L"\""; }

// The folder of a path: everything before its last backslash (of a "path=" line: the target
// directory of that run).
inline std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('\\')); }

// The short (8.3) form of path as UTF-8, or path itself when it has none.
inline std::string short_path(const std::wstring& path) {
  wchar_t out[4096];
  DWORD n = GetShortPathNameW(path.c_str(), out, 4096);
  return utf8(n > 0 && n < 4096 ? std::wstring(out) : path);
}

inline const wchar_t* const kHandoffVariables[] = {
    L"VELDRO_ONEFILE_PARENT",    L"VELDRO_ONEFILE_START",     L"VELDRO_ONEFILE_TIME_US",
    L"VELDRO_ONEFILE_RANDOM",    L"VELDRO_ONEFILE_DIRECTORY", L"VELDRO_ORIGINAL_ARGV0",
};

// Options that point the launcher's temp folder at temp and clear the handoff variables.
inline RunOptions with_temp(const std::wstring& temp) {
  RunOptions options;
  options.set_env = {L"TEMP=" + temp, L"TMP=" + temp};
  options.unset_env.assign(std::begin(kHandoffVariables), std::end(kHandoffVariables));
  options.timeout_ms = 60000;
  return options;
}

inline RunResult run_launcher(const std::wstring& exe, const std::wstring& args,
                              const RunOptions& options) {
  return run_program(exe, quote(exe) + L" " + args, options);
}

// Wine now and then fails to start a process with ERROR_INTERNAL_ERROR, about once in a
// thousand or two starts under load (seen when a test started a launcher and when a launcher
// started its child). The launcher then does what it must: this exact line, exit code 2 and
// its directory removed, which the callers' leftover counts cover. Tests that start launchers
// by the hundred run such a launcher once more and count it; there may be only a few.
inline RunResult run_launcher_past_wine_start_failure(const std::wstring& exe,
                                                      const std::wstring& args,
                                                      const RunOptions& options,
                                                      std::atomic<int>* wine_start_failures) {
  RunResult r = run_launcher(exe, args, options);
  if (r.exit_code == 2 && r.out.empty() &&
      r.err == "Error, couldn't launch child ([Error 1359] Internal error.)\r\n") {
    ++*wine_start_failures;
    r = run_launcher(exe, args, options);
  }
  return r;
}

// A launcher started in the background with stdout and stderr in the file out_path, for the
// tests that need one running while they do something else; TEMP as with_temp(temp) sets it.
struct Background {
  PROCESS_INFORMATION process = {};
  std::wstring out_path;
};

inline Background start_background(const std::wstring& exe, const std::wstring& args,
                                   const std::wstring& temp, const std::wstring& out_path,
                                   DWORD flags = 0) {
  Background b;
  b.out_path = out_path;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  std::wstring block = environment_block(with_temp(temp));
  std::wstring line = quote(exe) + L" " + args;
  CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT | flags,
                 &block[0], nullptr, &startup, &b.process);
  CloseHandle(out);
  return b;
}

// The target directories left in temp.
inline std::vector<std::wstring> leftovers(const std::wstring& temp) {
  return list_matching(temp, L"onefile_");
}

// The values printed on lines that start with prefix, in order.
inline std::vector<std::string> values(const std::string& out, const std::string& prefix) {
  std::vector<std::string> found;
  size_t at = 0;
  while ((at = out.find(prefix, at)) != std::string::npos) {
    if (at == 0 || out[at - 1] == '\n') {
      size_t end = out.find('\n', at);
      found.push_back(out.substr(at + prefix.size(), end - at - prefix.size()));
    }
    at += prefix.size();
  }
  return found;
}

// The one value printed for prefix, or a marker saying how many lines there were instead.
inline std::string value(const std::string& out, const std::string& prefix) {
  std::vector<std::string> found = values(out, prefix);
  return found.size() == 1 ? found[0] : "<" + std::to_string(found.size()) + " lines>";
}

// Waits up to attempts x 50 ms until the file at path holds a line starting with prefix;
// returns the file's text then (or at the end of the wait).
inline std::string wait_for_line(const std::wstring& path, const std::string& prefix, int attempts) {
  for (int i = 0; i < attempts; ++i) {
    std::string out = read_file(path);
    if (!values(out, prefix).empty()) return out;
    Sleep(50);
  }
  return read_file(path);
}

// Waits up to 30 s for a background launcher to end; its exit code (0xDEAD when it did not end).
inline DWORD wait_background(Background& b) {
  DWORD code = 0xDEAD;
  if (WaitForSingleObject(b.process.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(b.process.hProcess, &code);
  CloseHandle(b.process.hThread);
  CloseHandle(b.process.hProcess);
  return code;
}

// Ends the application of a background run, given what it printed (a "pid=" line of the
// child), with exit code 0: its launcher then ends by itself and cleans up. Returns the
// launcher's exit code, as wait_background.
inline DWORD end_background_application(Background& b, const std::string& out) {
  HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, std::stoul("0" + value(out, "pid=")));
  if (child != nullptr) {
    TerminateProcess(child, 0);
    CloseHandle(child);
  }
  return wait_background(b);
}
