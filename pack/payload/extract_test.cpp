// Extraction of payloads made by the packer's writer, well-formed and not: files land below the
// folder as named, and every stream the launcher refuses stops the extraction with the reader's
// line, nothing written outside the folder.
#include "pack/payload/extract.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "pack/base/files.h"
#include "pack/base/pack_error.h"
#include "pack/base/scratch_dir.h"
#include "pack/payload/payload_writer.h"

namespace fs = std::filesystem;

namespace veldro {
namespace {

// A payload of the entries, then `tail` appended to the stream (the end marker by default).
std::vector<uint8_t> payload(const std::vector<std::pair<std::u16string, std::string>>& entries,
                             const std::string& tail = std::string(2, '\0')) {
  std::string stream;
  for (const auto& [name, content] : entries) {
    append_entry_header(stream, name, content.size());
    stream += content;
  }
  FrameOptions options;
  options.level = 1;
  return wrap_payload(compress_stream(stream + tail, options));
}

std::vector<std::string> files_below(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) found.push_back(fs::relative(entry.path(), dir).generic_string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(Extract, EntriesLandBelowTheFolderByName) {
  ScratchDir dir;
  std::vector<uint8_t> bytes = payload({{u"app.dll", "MZ"}, {u"d\\\u00e9\\f.bin", std::string(200000, 'x')},
                                        {u"empty", ""}});
  ExtractResult result = extract_payload(MemorySource(bytes), find_payload(MemorySource(bytes)), dir.path("out"));
  EXPECT_EQ(result.entries, 3u);
  EXPECT_EQ(result.bytes, 200002u);
  EXPECT_EQ(files_below(dir.path("out")), (std::vector<std::string>{"app.dll", "d/\xc3\xa9/f.bin", "empty"}));
  EXPECT_EQ(read_text_file(dir.path("out/d/\xc3\xa9/f.bin")), std::string(200000, 'x'));
}

TEST(Extract, RefusedStreamsStopWithTheirLine) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string line;  // '$' stands for the output folder
    std::vector<std::string> written;
  };
  const Case cases[] = {
      {"a name leaving the folder", payload({{u"app.dll", "MZ"}, {u"..\\evil.txt", "x"}}),
       "'payload': entry '..\\evil.txt' is not a plain relative Windows file name (empty, '.' or '..' "
       "parts, a drive, a device name or a character Windows forbids)",
       {"app.dll"}},
      {"a device name", payload({{u"aux.txt", "x"}}), "'payload': entry 'aux.txt' is not a plain", {}},
      {"a file where a folder is", payload({{u"data\\inner.txt", "a"}, {u"data", "b"}}),
       "'$/data' already exists: an earlier entry of the payload made it", {"data/inner.txt"}},
      {"one name twice", payload({{u"a.txt", "1"}, {u"a.txt", "2"}}),
       "'$/a.txt' already exists: an earlier entry of the payload made it", {"a.txt"}},
      {"a name without its end", payload({}, std::string(2 * 1024, 'a') + std::string(10, '\0')),
       "'payload': an entry name reaches 1024 UTF-16 units", {}},
      {"content cut short", payload({{u"a.txt", "1"}}, std::string("b\0\0\0\xe8\x03\0\0\0\0\0\0xx", 14)),
       "'payload': truncated entry content", {"a.txt", "b"}},
      {"no end marker", payload({{u"a.txt", "1"}}, ""), "'payload': truncated entry name", {"a.txt"}},
      {"bytes after the end marker", payload({{u"a.txt", "1"}}, std::string(3, '\0')),
       "'payload': bytes after the end marker", {"a.txt"}},
      {"no entry", payload({}), "'payload': no entry", {}},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    const std::string out = dir.path("out");
    MemorySource source(c.bytes);
    std::string line;
    try {
      extract_payload(source, find_payload(source), out);
    } catch (const PackError& error) {
      line = error.what();
    }
    std::string want = c.line;
    if (want.find('$') != std::string::npos) want.replace(want.find('$'), 1, out);
    EXPECT_EQ(line.substr(0, want.size()), want) << c.what << ": " << line;
    EXPECT_EQ(files_below(dir.root), [&] {
      std::vector<std::string> below;
      for (const std::string& f : c.written) below.push_back("out/" + f);
      return below;
    }()) << c.what;
  }
}

TEST(Extract, TheFolderMustBeNewOrEmpty) {
  ScratchDir dir;
  std::vector<uint8_t> bytes = payload({{u"a.txt", "1"}});
  MemorySource source(bytes);
  dir.write("full/x", "x");
  dir.write("file", "x");
  const std::pair<std::string, std::string> cases[] = {
      {dir.path("full"), "'" + dir.path("full") + "' is not empty"},
      {dir.path("file"), "'" + dir.path("file") + "' is not a directory"},
  };
  for (const auto& [out, line] : cases) {
    try {
      extract_payload(source, find_payload(source), out);
      ADD_FAILURE() << out << " was accepted";
    } catch (const PackError& error) {
      EXPECT_EQ(error.what(), line);
    }
  }
  fs::create_directories(dir.path("empty"));
  EXPECT_EQ(extract_payload(source, find_payload(source), dir.path("empty")).entries, 1u);
}

}  // namespace
}  // namespace veldro
