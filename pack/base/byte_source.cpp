// File and memory byte sources (see byte_source.h).
#include "pack/base/byte_source.h"

#include <errno.h>

#include <cstring>
#include <filesystem>

#include "pack/base/pack_error.h"

namespace fs = std::filesystem;

namespace veldro {

bool MemorySource::read(uint64_t offset, void* dst, size_t n) const {
  if (offset > size_ || n > size_ - offset) return false;
  if (n > 0) std::memcpy(dst, bytes_ + offset, n);
  return true;
}

FileSource::FileSource(const std::string& path, const char* what) : path_(path) {
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) throw PackError("'" + path + "' not found");
  if (status.type() == fs::file_type::directory) {
    throw PackError("'" + path + "' is a directory, not " + what);
  }
  errno = 0;
  in_.open(path, std::ios::binary);
  if (!in_) {
    throw PackError("cannot open '" + path + "'" + (errno ? std::string(": ") + std::strerror(errno) : ""));
  }
  in_.seekg(0, std::ios::end);
  size_ = static_cast<uint64_t>(in_.tellg());
}

bool FileSource::read(uint64_t offset, void* dst, size_t n) const {
  if (offset > size_ || n > size_ - offset) return false;
  in_.clear();
  in_.seekg(static_cast<std::streamoff>(offset));
  in_.read(static_cast<char*>(dst), static_cast<std::streamsize>(n));
  return static_cast<size_t>(in_.gcount()) == n;
}

}  // namespace veldro
