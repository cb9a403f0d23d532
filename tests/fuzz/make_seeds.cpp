// Writes the seed corpora of the fuzz targets into three folders: whole payloads and entry
// streams made by the packer's writer (payload), reference templates, some with the values of
// {PROGRAM} and {HOME} (expand), argument vectors (quote). Run at build time; nothing generated
// is checked in.
#include <stdio.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pack/payload/payload_writer.h"

namespace {

void write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string utf16le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xff);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string entry_stream(const std::vector<std::pair<std::u16string, std::string>>& entries, bool end) {
  std::string stream;
  for (const auto& e : entries) {
    veldro::append_entry_header(stream, e.first, e.second.size());
    stream += e.second;
  }
  if (end) veldro::append_end_marker(stream);
  return stream;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: make_seeds PAYLOAD_DIR EXPAND_DIR QUOTE_DIR\n");
    return 2;
  }
  const std::string payload_dir = argv[1], expand_dir = argv[2], quote_dir = argv[3];

  const std::vector<std::vector<std::pair<std::u16string, std::string>>> apps = {
      {{u"app.dll", "MZ main"}, {u"data\\config.txt", "key=value\n"}, {u"lib\\sub\\x.bin", std::string(300, 'x')}},
      {{u"main.dll", std::string(40000, 'a')}},
      {{u"caf\u00e9.dll", "\x01\x02"}, {u"..\\up.txt", "evil"}},
      {},
      // The longest name the parser takes: one more unit in place of its terminator is too long.
      {{std::u16string(1023, u'n'), "longest name"}},
  };
  veldro::FrameOptions options;
  options.level = 3;
  options.threads = 1;
  int n = 0;
  for (const auto& app : apps) {
    std::string stream = entry_stream(app, true);
    std::vector<uint8_t> payload = veldro::wrap_payload(veldro::compress_stream(stream, options));
    write(payload_dir + "/payload_" + std::to_string(n), std::string(payload.begin(), payload.end()));
    write(payload_dir + "/stream_" + std::to_string(n), stream);
    ++n;
  }
  write(payload_dir + "/stream_unterminated", entry_stream(apps[0], false));

  const std::u16string templates[] = {
      u"{TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM}",
      u"{PROGRAM_DIR}\\.{PROGRAM_BASE}_{TIME}",
      u"{HOME}\\{CACHE_DIR}\\{COMPANY}\\{PRODUCT}\\{VERSION}",
      u"{temp}\\{Product_Version}{FILE_VERSION}x{PROGRAM}",
      u"C:\\fixed\\{RANDOM",
      u"}{TEMP}",
      u"{{TEMP}}",
      u"\u00e9\u65e5{UNKNOWN}",
  };
  // Templates with the values of {PROGRAM} and {HOME} after them.
  const std::u16string with_values[] = {
      u"{PROGRAM_DIR}\\{PROGRAM_BASE}", u"tool.exe", u"C:\\Users\\u",
      u"[{PROGRAM_BASE}]{HOME}", u".EXE", u"\\\\",
      u"x{HOME}\\{PROGRAM_DIR}", u"C:\\", u"",
  };
  n = 0;
  auto write_template = [&](const std::u16string& units) {
    for (unsigned capacity : {1u, 40u, 300u}) {
      std::string bytes;
      bytes += static_cast<char>(n & 3);  // which folders cannot be had
      bytes += static_cast<char>(capacity & 0xff);
      bytes += static_cast<char>(capacity >> 8);
      write(expand_dir + "/template_" + std::to_string(n++), bytes + utf16le(units));
    }
  };
  for (const std::u16string& t : templates) write_template(t);
  for (size_t i = 0; i + 2 < std::size(with_values); i += 3) {
    const std::u16string end(1, u'\0');
    write_template(with_values[i] + end + with_values[i + 1] + end + with_values[i + 2] + end);
  }

  const std::vector<std::vector<std::u16string>> vectors = {
      {u"plain", u"two words", u"tab\there"},
      {u"say \"hi\"", u"\"", u"\\\"", u"dir\\ with\\"},
      {u"x \\\\", u"a\\\\\"b c", u"\\\\server\\share x\\", u"\"\""},
      {u"", u"line\nfeed", u"v\vtab", u"caf\u00e9 \u65e5\u672c", u"a\\b"},
  };
  n = 0;
  for (const auto& v : vectors) {
    std::string bytes(1, static_cast<char>(n & 1));
    for (size_t i = 0; i < v.size(); ++i) {
      if (i > 0) bytes += std::string(2, '\0');
      bytes += utf16le(v[i]);
    }
    write(quote_dir + "/arguments_" + std::to_string(n++), bytes);
  }
  return 0;
}
