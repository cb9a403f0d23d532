// Whole-file reading and writing, and the running packer (see files.h).
#include "pack/base/files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "pack/base/pack_error.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace veldro {
namespace {

long process_id() {
#ifdef _WIN32
  return static_cast<long>(GetCurrentProcessId());
#else
  return static_cast<long>(getpid());
#endif
}

}  // namespace

std::vector<uint8_t> read_file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("cannot read '" + path + "'");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string read_text_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const void* bytes, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  out.close();
  if (!out) throw PackError("cannot write '" + path + "'");
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  write_file(path, bytes.data(), bytes.size());
}

void write_file(const std::string& path, const std::string& text) {
  write_file(path, text.data(), text.size());
}

void write_file_replacing(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string temporary = path + ".tmp" + std::to_string(process_id());
  std::error_code error;
  bool written = false;
  try {
    write_file(temporary, bytes);
    fs::rename(temporary, path, error);
    written = !error;
  } catch (const PackError&) {
  }
  if (!written) {
    fs::remove(temporary, error);
    throw PackError("cannot write '" + path + "'");
  }
}

std::string own_executable_path(const char* argv0) {
#ifdef _WIN32
  wchar_t self[32768];
  DWORD length = GetModuleFileNameW(nullptr, self, 32768);
  if (length > 0 && length < 32768) return fs::path(self).string();
  return argv0;
#else
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string(argv0) : self.string();
#endif
}

bool stderr_is_terminal() {
#ifdef _WIN32
  return _isatty(2) != 0;
#else
  return isatty(2) != 0;
#endif
}

}  // namespace veldro
