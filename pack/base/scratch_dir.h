// Test support, not part of veldro-pack: a fresh folder below the system's temp folder for one
// test, with files written into it, removed with everything in it when the test ends.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace veldro {

struct ScratchDir {
  std::filesystem::path root;

  ScratchDir() {
    static int counter = 0;
    root = std::filesystem::temp_directory_path() /
           ("veldro_pack_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
  }
  ~ScratchDir() { std::filesystem::remove_all(root); }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Writes bytes at the relative path (its folders made first); returns the whole path.
  std::string write(const std::string& relative, const std::string& bytes) const {
    std::filesystem::path path = root / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::string write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
    return write(relative, std::string(bytes.begin(), bytes.end()));
  }
  std::string path(const std::string& relative) const { return (root / relative).string(); }
};

}  // namespace veldro
