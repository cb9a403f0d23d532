// Process runner for the Windows tests (see process_runner.h).
#include "process_runner.h"

#include <windows.h>

#include <map>
#include <thread>

namespace {

void drain(HANDLE pipe, std::string* sink) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) sink->append(buffer, got);
}

}  // namespace

std::wstring environment_block(const RunOptions& options) {
  std::map<std::wstring, std::wstring> vars;  // keyed by upper-case name
  wchar_t* block = GetEnvironmentStringsW();
  for (wchar_t* p = block; *p; p += wcslen(p) + 1) {
    std::wstring entry = p;
    size_t eq = entry.find(L'=', 1);
    std::wstring name = entry.substr(0, eq);
    std::wstring key = name;
    CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
    vars[key] = entry;
  }
  FreeEnvironmentStringsW(block);
  auto key_of = [](std::wstring name) {
    CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
    return name;
  };
  for (const std::wstring& name : options.unset_env) vars.erase(key_of(name));
  for (const std::wstring& entry : options.set_env) vars[key_of(entry.substr(0, entry.find(L'=')))] = entry;
  std::wstring out;
  for (auto& kv : vars) {
    out += kv.second;
    out.push_back(L'\0');
  }
  out.push_back(L'\0');
  return out;
}


RunResult run_program(const std::wstring& application, const std::wstring& command_line,
                      const RunOptions& options) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write;
  CreatePipe(&out_read, &out_write, &inherit, 0);
  CreatePipe(&err_read, &err_write, &inherit, 0);
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;

  std::wstring line = command_line;
  std::wstring env = environment_block(options);
  PROCESS_INFORMATION process = {};
  RunResult result;
  // Under load, Wine now and then fails to start a process with ERROR_INTERNAL_ERROR (seen
  // once in a thousand runs). That is the test's own start of the program under test, not the
  // program's doing, so it is tried again; any other failure is reported at once.
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) {
      if (GetLastError() != ERROR_INTERNAL_ERROR) break;
      Sleep(200);
    }
    started = CreateProcessW(application.empty() ? nullptr : application.c_str(), &line[0],
                             nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, &env[0],
                             options.cwd.empty() ? nullptr : options.cwd.c_str(), &startup,
                             &process);
  }
  CloseHandle(out_write);
  CloseHandle(err_write);
  if (!started) {
    result.exit_code = 0xFFFFFFFF;
    result.err = "CreateProcessW failed: " + std::to_string(GetLastError());
    CloseHandle(out_read);
    CloseHandle(err_read);
    return result;
  }
  result.pid = process.dwProcessId;
  std::thread out_thread(drain, out_read, &result.out);
  std::thread err_thread(drain, err_read, &result.err);
  if (WaitForSingleObject(process.hProcess, options.timeout_ms) != WAIT_OBJECT_0) {
    result.timed_out = true;
    TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  GetExitCodeProcess(process.hProcess, &result.exit_code);
  out_thread.join();
  err_thread.join();
  CloseHandle(out_read);
  CloseHandle(err_read);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

std::wstring test_bin_dir() {
  wchar_t unix_dir[4096];
  DWORD n = GetEnvironmentVariableW(L"VELDRO_TEST_BIN", unix_dir, 4096);
  std::wstring dir = n ? std::wstring(L"Z:") + unix_dir : L".";
  for (wchar_t& c : dir) {
    if (c == L'/') c = L'\\';
  }
  if (dir.back() != L'\\') dir += L'\\';
  return dir;
}

std::wstring fresh_directory(const std::wstring& name) {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  std::wstring dir = std::wstring(temp) + L"veldro_test_" + name + L"_" +
                     std::to_wstring(GetCurrentProcessId());
  remove_tree(dir);
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

std::string read_file(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  drain(file, &bytes);
  CloseHandle(file);
  return bytes;
}

bool write_file(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool path_exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void remove_tree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = path + L"\\" + name;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        remove_tree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

std::vector<std::wstring> list_matching(const std::wstring& dir, const std::wstring& prefix) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"\\" + prefix + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}
