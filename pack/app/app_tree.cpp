// Application tree collection (see app_tree.h).
#include "pack/app/app_tree.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "pack/base/pack_error.h"
#include "pack/base/text.h"

namespace fs = std::filesystem;

namespace veldro {
namespace {

std::u16string fold_case(const std::u16string& name) {
  // Windows folds case for the whole of Unicode; ASCII and Latin-1 cover what a name clash
  // in practice looks like, and more folding only refuses more.
  std::u16string folded = name;
  for (char16_t& c : folded) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c -= 0x20;
  }
  return folded;
}

bool is_inside(const fs::path& root, const fs::path& target) {
  auto r = root.begin(), t = target.begin();
  for (; r != root.end(); ++r, ++t) {
    if (t == target.end() || *r != *t) return false;
  }
  return true;
}

std::u16string payload_name(const fs::path& relative) {
  std::u16string name;
  for (const fs::path& part : relative) {
    if (!name.empty()) name += u'\\';
    name += utf16_from_utf8(part.string());
  }
  return name;
}

void check_directory(const std::string& dir) {
  std::error_code error;
  fs::file_status status = fs::status(dir, error);
  if (status.type() == fs::file_type::not_found) throw PackError("directory '" + dir + "' not found");
  if (status.type() != fs::file_type::directory) throw PackError("'" + dir + "' is not a directory");
}

void add_directory(const fs::path& dir, const fs::path& main_file, std::vector<PackFile>& out,
                   std::vector<std::string>* folders) {
  fs::path root = fs::canonical(dir);
  if (folders != nullptr) folders->push_back(dir.string());
  std::vector<fs::path> found;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& path = it->path();
    if (folders != nullptr && it->is_directory() && !it->is_symlink()) folders->push_back(path.string());
    if (it->is_symlink()) {
      std::error_code error;
      fs::path target = fs::canonical(path, error);
      if (error || !is_inside(root, target)) {
        throw PackError("'" + path.string() + "' is a symbolic link pointing outside '" +
                        dir.string() + "'");
      }
    }
    if (it->is_regular_file()) found.push_back(path);
  }
  if (found.empty()) throw PackError("directory '" + dir.string() + "' holds no files");
  std::sort(found.begin(), found.end());
  std::error_code error;
  for (const fs::path& path : found) {
    if (!main_file.empty() && fs::equivalent(path, main_file, error)) continue;
    out.push_back({payload_name(fs::relative(path, dir)), path.string(), {}});
  }
}

fs::path find_main(const AppSources& sources) {
  fs::path main(sources.main);
  if (!sources.directories.empty()) {
    fs::path inside = fs::path(sources.directories.front()) / main;
    if (fs::is_regular_file(inside)) return inside;
  }
  if (fs::is_regular_file(main)) return main;
  throw PackError("main file '" + sources.main + "' not found");
}

}  // namespace

std::vector<PackFile> collect_app_files(const AppSources& sources, std::vector<std::string>* folders) {
  for (const std::string& dir : sources.directories) check_directory(dir);
  fs::path main = find_main(sources);
  std::vector<PackFile> files;
  files.push_back({utf16_from_utf8(main.filename().string()), main.string(), {}});
  for (const std::string& dir : sources.directories) add_directory(dir, main, files, folders);
  for (const std::string& file : sources.files) {
    if (!fs::is_regular_file(file)) throw PackError("file '" + file + "' not found");
    std::error_code error;
    if (fs::equivalent(file, main, error)) continue;
    files.push_back({utf16_from_utf8(fs::path(file).filename().string()), file, {}});
  }

  std::map<std::u16string, const PackFile*> seen;
  for (const PackFile& file : files) {
    std::string problem = entry_name_problem(file.name);
    if (!problem.empty()) throw PackError("'" + file.path + "': name " + problem);
    auto [it, fresh] = seen.emplace(fold_case(file.name), &file);
    if (fresh) continue;
    const PackFile& other = *it->second;
    if (other.name == file.name && other.path == file.path) {
      throw PackError("'" + file.path + "' would be packed twice as '" + utf8_from_utf16(file.name) + "'");
    }
    if (other.name == file.name) {
      throw PackError("'" + other.path + "' and '" + file.path + "' would both be packed as '" +
                      utf8_from_utf16(file.name) + "'");
    }
    throw PackError("'" + file.path + "' and '" + other.path +
                    "' differ only in case; Windows folds them into one file");
  }
  return files;
}

}  // namespace veldro
