// Payload extraction to a folder (see extract.h).
#include "pack/payload/extract.h"

#include <errno.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "format/payload_layout.h"
#include "pack/base/pack_error.h"
#include "pack/base/text.h"
#include "pack/payload/payload_reader.h"

namespace fs = std::filesystem;

namespace veldro {
namespace {

void prepare_folder(const fs::path& dir) {
  std::error_code error;
  fs::file_status status = fs::symlink_status(dir, error);
  if (status.type() == fs::file_type::not_found) {
    if (!fs::create_directories(dir, error) && error) {
      throw PackError("cannot create '" + dir.string() + "': " + error.message());
    }
    return;
  }
  if (!fs::is_directory(dir)) throw PackError("'" + dir.string() + "' is not a directory");
  if (!fs::is_empty(dir, error)) throw PackError("'" + dir.string() + "' is not empty");
}

// The entry's path below dir: its backslash-separated parts, each turned into a file name.
fs::path entry_path(const fs::path& dir, const std::u16string& name) {
  fs::path path = dir;
  size_t start = 0;
  for (;;) {
    size_t end = name.find(u'\\', start);
    path /= fs::u8path(utf8_from_utf16(name.substr(start, end - start)));
    if (end == std::u16string::npos) return path;
    start = end + 1;
  }
}

std::string os_error() { return errno ? std::string(": ") + std::strerror(errno) : std::string(); }

}  // namespace

ExtractResult extract_payload(const ByteSource& file, const PayloadLocation& where,
                            const std::string& out_dir) {
  fs::path dir(out_dir);
  prepare_folder(dir);
  PayloadReader reader(file, where);
  ExtractResult result;
  std::vector<char> chunk(kWindowBytes);
  std::u16string name;
  uint64_t size = 0;
  while (reader.next_entry(&name, &size)) {
    fs::path path = entry_path(dir, name);
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (error) throw PackError("cannot create '" + path.parent_path().string() + "': " + error.message());
    if (fs::symlink_status(path, error).type() != fs::file_type::not_found) {
      throw PackError("'" + path.string() + "' already exists: an earlier entry of the payload made it");
    }
    errno = 0;
    std::ofstream out(path, std::ios::binary);
    if (!out) throw PackError("cannot write '" + path.string() + "'" + os_error());
    for (uint64_t left = size; left > 0;) {
      size_t step = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
      reader.read_content(chunk.data(), step);
      out.write(chunk.data(), static_cast<std::streamsize>(step));
      left -= step;
    }
    out.close();
    if (!out) throw PackError("cannot write '" + path.string() + "'" + os_error());
    ++result.entries;
    result.bytes += size;
  }
  reader.finish();
  if (result.entries == 0) reader.fail("no entry");
  return result;
}

}  // namespace veldro
