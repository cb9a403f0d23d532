// Runs a program as a user would and collects what it did: exit code, exact stdout and stderr
// bytes. For the tests that run real launchers under Wine.
#pragma once

#include <string>
#include <vector>

struct RunResult {
  unsigned long exit_code = 0;
  std::string out;
  std::string err;
  bool timed_out = false;
  unsigned long pid = 0;  // the started process's id (0 when it could not be started)
};

struct RunOptions {
  std::vector<std::wstring> set_env;    // "NAME=value" added to (or replacing in) the environment
  std::vector<std::wstring> unset_env;  // names removed from the environment
  std::wstring cwd;                     // empty: the test's own
  unsigned long timeout_ms = 60000;
};

// The current environment with options' changes, as a sorted, doubly terminated block for
// CreateProcessW with CREATE_UNICODE_ENVIRONMENT.
std::wstring environment_block(const RunOptions& options);

// Runs command_line (quoted as the caller wants it). application may be empty.
RunResult run_program(const std::wstring& application, const std::wstring& command_line,
                      const RunOptions& options = {});

// Directory that holds the test's built programs, from VELDRO_TEST_BIN (a Unix path made
// into a Wine Z: path), with a trailing backslash.
std::wstring test_bin_dir();

// A fresh, empty directory for one test (below the test's TEMP), without trailing backslash.
std::wstring fresh_directory(const std::wstring& name);

// Reads a whole file; empty string when it cannot be read.
std::string read_file(const std::wstring& path);
bool write_file(const std::wstring& path, const std::string& bytes);
bool path_exists(const std::wstring& path);

// Deletes a directory tree (test clean-up only).
void remove_tree(const std::wstring& path);

// Lists the directories in dir whose names start with prefix.
std::vector<std::wstring> list_matching(const std::wstring& dir, const std::wstring& prefix);

// UTF-16 to UTF-8 and back, for comparing program output.
std::string utf8(const std::wstring& text);
std::wstring wide(const std::string& text);
