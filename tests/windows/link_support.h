// Unix symbolic links for the clean-up tests. Wine's CreateSymbolicLinkW only pretends to
// work, so links are made the way a packaged application under Wine would meet them: by the
// Unix `ln -s`, started through Wine (which runs Unix programs by their Z: path).
#pragma once

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process_runner.h"

// The Unix path of a Windows path, through Wine's own export; empty when not under Wine.
inline std::string unix_path_of(const std::wstring& path) {
  typedef char*(__cdecl * UnixName)(const wchar_t*);
  UnixName to_unix = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (to_unix == nullptr) return {};
  char* name = to_unix(path.c_str());
  if (name == nullptr) return {};
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// Makes link a Unix symbolic link to target (both Windows paths; link must not exist yet).
// True when the link exists afterwards. Wine 8 reports a link to a directory as a reparse
// point (attributes 0x410); a link to a file looks like the plain file.
inline bool plant_unix_link(const std::wstring& target, const std::wstring& link) {
  std::string unix_target = unix_path_of(target);
  std::wstring parent = link.substr(0, link.rfind(L'\\'));
  std::string unix_link = unix_path_of(parent) + "/" + std::string(link.begin() + link.rfind(L'\\') + 1, link.end());
  if (unix_target.empty() || unix_link.empty()) return false;
  std::string line = "Z:\\bin\\ln -sn \"" + unix_target + "\" \"" + unix_link + "\"";
  std::wstring command(line.begin(), line.end());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Wine starts a Unix program detached: its handle tells neither when it ends nor how. The
  // result shows on disk.
  for (int tries = 0; tries < 1000; ++tries) {
    if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(10);
  }
  return false;
}

// Removes a tree with the Unix `rm -rf`, links included, without following them (test
// clean-up of folders that hold links Wine cannot remove). Waits for a marker file that the
// shell writes once rm has finished.
inline void unix_remove_tree(const std::wstring& path) {
  std::string unix_name = unix_path_of(path);
  if (unix_name.empty()) return;
  const std::wstring marker = path + L".removed";
  DeleteFileW(marker.c_str());
  std::string line = "Z:\\bin\\sh -c \"rm -rf '" + unix_name + "'; touch '" + unix_name + ".removed'\"";
  std::wstring command(line.begin(), line.end());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int tries = 0; tries < 1000 && GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++tries) {
    Sleep(10);
  }
  DeleteFileW(marker.c_str());
}

// The names in dir other than "." and "..", sorted.
inline std::vector<std::wstring> names_in(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// A fresh, empty directory like fresh_directory(), first cleared of any links an earlier run
// left behind (process ids repeat under Wine).
// The Unix removal comes first: a Win32 delete of a leftover file link would delete its target.
inline std::wstring fresh_link_directory(const std::wstring& name) {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  unix_remove_tree(std::wstring(temp) + L"veldro_test_" + name + L"_" + std::to_wstring(GetCurrentProcessId()));
  return fresh_directory(name);
}

// Everything below dir, links not followed: relative path -> file content, "<dir>" for a
// folder, "<link>" for a link Wine shows as one. Compared before and after a clean-up, it
// shows that a tree is byte for byte and folder for folder as it was.
inline std::map<std::wstring, std::string> tree_snapshot(const std::wstring& dir,
                                                         const std::wstring& below = L"") {
  std::map<std::wstring, std::string> snapshot;
  for (const std::wstring& name : names_in(dir + below)) {
    const std::wstring relative = below + L"\\" + name;
    DWORD attributes = GetFileAttributesW((dir + relative).c_str());
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      snapshot[relative] = "<link>";
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      snapshot[relative] = "<dir>";
      std::map<std::wstring, std::string> inner = tree_snapshot(dir, relative);
      snapshot.insert(inner.begin(), inner.end());
    } else {
      snapshot[relative] = read_file(dir + relative);
    }
  }
  return snapshot;
}

// Fills outside with what planted links point to: an empty folder, a folder holding files and
// an empty subfolder, a file, and another empty folder for a link deeper down.
inline void make_link_targets(const std::wstring& outside) {
  for (const wchar_t* folder : {L"\\empty", L"\\full", L"\\full\\hollow", L"\\nested_empty"}) {
    CreateDirectoryW((outside + folder).c_str(), nullptr);
  }
  write_file(outside + L"\\full\\keep.txt", "keep");
  write_file(outside + L"\\full\\more.txt", "more");
  write_file(outside + L"\\file.txt", "file target");
}

// Plants one link of each kind into target (which must exist): empty_link, full_link and
// file_link.txt at the top, sub\nested_link one level down. True when all four exist.
inline bool plant_every_link(const std::wstring& outside, const std::wstring& target) {
  CreateDirectoryW((target + L"\\sub").c_str(), nullptr);
  return plant_unix_link(outside + L"\\empty", target + L"\\empty_link") &&
         plant_unix_link(outside + L"\\full", target + L"\\full_link") &&
         plant_unix_link(outside + L"\\file.txt", target + L"\\file_link.txt") &&
         plant_unix_link(outside + L"\\nested_empty", target + L"\\sub\\nested_link");
}

// What may remain of a target after its clean-up when plant_every_link was run on it: under
// Wine the links themselves (no Windows call can remove a Unix link there without harming
// what it points to) and the folder holding the nested one; on Windows nothing at all.
inline void expect_only_links_left(const std::wstring& target) {
  if (!path_exists(target)) return;
  EXPECT_EQ(names_in(target),
            std::vector<std::wstring>({L"empty_link", L"file_link.txt", L"full_link", L"sub"}));
  EXPECT_EQ(names_in(target + L"\\sub"), std::vector<std::wstring>({L"nested_link"}));
}
