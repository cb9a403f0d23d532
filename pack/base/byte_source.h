// Random access to the bytes of a file or of a buffer in memory, read in pieces, so that exes
// and payloads of any size are inspected in bounded memory. Every reader of untrusted bytes in
// the packer reads through it. Relies on base/pack_error.h. Portable.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <fstream>
#include <string>
#include <vector>

namespace veldro {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  // What messages call it: the file's path ("payload" for bytes in memory).
  virtual std::string name() const = 0;
  // Copies the n bytes at offset to dst; false (dst undefined) when any of them lies past the
  // end or cannot be read.
  virtual bool read(uint64_t offset, void* dst, size_t n) const = 0;
};

// Bytes in memory that outlive the source.
class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
  explicit MemorySource(const std::vector<uint8_t>& bytes) : MemorySource(bytes.data(), bytes.size()) {}
  uint64_t size() const override { return size_; }
  std::string name() const override { return "payload"; }
  bool read(uint64_t offset, void* dst, size_t n) const override;

 private:
  const uint8_t* bytes_;
  size_t size_;
};

class FileSource : public ByteSource {
 public:
  // Opens path for reading; throws PackError naming it when it is missing, a directory or
  // cannot be opened. `what` says what the file was expected to be, for the directory case.
  FileSource(const std::string& path, const char* what);
  uint64_t size() const override { return size_; }
  std::string name() const override { return path_; }
  bool read(uint64_t offset, void* dst, size_t n) const override;

 private:
  std::string path_;
  mutable std::ifstream in_;
  uint64_t size_ = 0;
};

}  // namespace veldro
