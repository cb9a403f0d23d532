// veldro-pack: turns an application folder into the build input of a onefile launcher, and
// reads built payloads back. Exit codes: 0 success, 1 usage error, 2 bad input.
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "pack/app_tree.h"
#include "pack/coff_object.h"
#include "pack/inspect.h"
#include "pack/payload_writer.h"
#include "pack/pe_check.h"
#include "pack/resources.h"
#include "pack/template_check.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

using namespace veldro;

constexpr int kUsageError = 1;
constexpr int kBadInput = 2;

const char kMainHelp[] =
    "usage: veldro-pack <command> [options]\n"
    "\n"
    "commands:\n"
    "  pack     pack an application folder into a payload and a launcher object file\n"
    "  list     list the entries of a built exe or payload file\n"
    "  verify   decode a built exe or payload file completely and check its format\n"
    "\n"
    "Run 'veldro-pack <command> --help' for the options of a command.\n";

const char kPackHelp[] =
    "usage: veldro-pack pack --main <name> [options] <dir>...\n"
    "\n"
    "Packs the main DLL first (under its file name), then every file below each <dir> at its\n"
    "relative path, then each --file at the top level.\n"
    "\n"
    "  --main <name>            main DLL: a name inside the first <dir>, or a path\n"
    "  --file <path>            add a single file at the top level (repeatable)\n"
    "  --level <1-22>           zstd compression level (default 19)\n"
    "  --threads <n>            compression threads (default: all cores)\n"
    "  --window-log <10-27>     zstd window log, memory the launcher needs to decode (default 23)\n"
    "  --payload <out.bin>      write the payload bytes\n"
    "  --object <out.obj>       write the COFF object to link into the launcher\n"
    "  --template <dirspec>     target directory template (default {TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM})\n"
    "  --company <s> --product <s> --file-version <s> --product-version <s>\n"
    "                           product strings for the template and the version resource\n"
    "  --resource-script <out.rc>  write the exe's resources (version information, manifest,\n"
    "                           icon) as a resource script, with <out.rc>.manifest beside it\n"
    "  --icon <app.ico>         application icon for the resource script\n"
    "  --output-name <app.exe>  the exe's file name, for the version information\n"
    "\n"
    "Refused, with one line naming the file (exit 2): a main file that is missing, not a\n"
    "64-bit PE DLL or without a run_code export; an empty directory; names that leave the\n"
    "directory, contain characters Windows forbids or reach 1024 UTF-16 units; names that\n"
    "differ only in case; symbolic links pointing outside; a malformed icon; a template\n"
    "without a run-unique placeholder ({PID}, {TIME}, {TIME_US} or {RANDOM}).\n";

const char kListHelp[] =
    "usage: veldro-pack list <app.exe|payload.bin>\n"
    "\n"
    "Prints every entry with its size, the totals, the compression ratio and the frame's\n"
    "parameters. The payload is found inside an exe without running it.\n";

const char kVerifyHelp[] =
    "usage: veldro-pack verify <app.exe|payload.bin>\n"
    "\n"
    "Decodes the whole payload, checks the header, the frame checksum, every entry, the end\n"
    "marker, the alignment and the trailer. Exit 0 when all is well, 2 otherwise.\n";

int usage(const char* help, const std::string& problem) {
  fprintf(stderr, "veldro-pack: %s\n\n%s", problem.c_str(), help);
  return kUsageError;
}

bool stderr_is_terminal() {
#ifdef _WIN32
  return _isatty(2) != 0;
#else
  return isatty(2) != 0;
#endif
}

bool is_help(const char* arg) { return !strcmp(arg, "--help") || !strcmp(arg, "-h"); }

bool parse_int(const char* text, int low, int high, int* value) {
  char* end = nullptr;
  long v = strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  *value = static_cast<int>(v);
  return true;
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw PackError("cannot write '" + path + "'");
}

int run_pack(int argc, char** argv) {
  AppSources sources;
  FrameOptions frame;
  LauncherStrings strings;
  std::string payload_path, object_path, script_path;
  ResourceInfo resources;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (is_help(arg)) {
      fputs(kPackHelp, stdout);
      return 0;
    }
    auto value = [&](const char* option) -> const char* {
      if (strcmp(arg, option) != 0) return nullptr;
      if (i + 1 >= argc) return "";
      return argv[++i];
    };
    const char* v = nullptr;
    if ((v = value("--main"))) {
      sources.main = v;
    } else if ((v = value("--file"))) {
      sources.files.push_back(v);
    } else if ((v = value("--level"))) {
      if (!parse_int(v, 1, 22, &frame.level)) return usage(kPackHelp, "--level takes 1 to 22");
    } else if ((v = value("--threads"))) {
      if (!parse_int(v, 1, 256, &frame.threads)) return usage(kPackHelp, "--threads takes 1 to 256");
    } else if ((v = value("--window-log"))) {
      if (!parse_int(v, 10, 27, &frame.window_log)) {
        return usage(kPackHelp, "--window-log takes 10 to 27");
      }
    } else if ((v = value("--payload"))) {
      payload_path = v;
    } else if ((v = value("--object"))) {
      object_path = v;
    } else if ((v = value("--resource-script"))) {
      script_path = v;
    } else if ((v = value("--icon"))) {
      resources.icon_path = v;
    } else if ((v = value("--output-name"))) {
      resources.original_filename = v;
    } else if ((v = value("--template"))) {
      strings.dir_spec = utf16_from_utf8(v);
    } else if ((v = value("--company"))) {
      strings.company = utf16_from_utf8(v);
    } else if ((v = value("--product"))) {
      strings.product = utf16_from_utf8(v);
    } else if ((v = value("--file-version"))) {
      strings.file_version = utf16_from_utf8(v);
    } else if ((v = value("--product-version"))) {
      strings.product_version = utf16_from_utf8(v);
    } else if (arg[0] == '-' && arg[1] == '-') {
      return usage(kPackHelp, std::string("unknown option '") + arg + "'");
    } else {
      sources.directories.push_back(arg);
    }
    if (v != nullptr && *v == '\0') return usage(kPackHelp, std::string(arg) + " needs a value");
  }
  if (sources.main.empty()) return usage(kPackHelp, "--main is required");
  if (payload_path.empty() && object_path.empty() && script_path.empty()) {
    return usage(kPackHelp, "nothing to write: give --payload, --object or --resource-script");
  }

  check_template(strings);
  auto started = std::chrono::steady_clock::now();
  std::vector<PackFile> files = collect_app_files(sources);
  check_main_dll(files.front().path);
  if (!resources.icon_path.empty()) check_icon(resources.icon_path);
  if (!script_path.empty()) {
    resources.strings = strings;
    if (resources.original_filename.empty()) resources.original_filename = "onefile.exe";
    write_resource_script(script_path, resources);
  }

  uint64_t bytes_in = 0;
  for (const PackFile& f : files) bytes_in += std::ifstream(f.path, std::ios::binary | std::ios::ate).tellg();
  ProgressReport progress;
  if (stderr_is_terminal()) {
    progress = [](uint64_t done, uint64_t total) {
      fprintf(stderr, "\rveldro-pack: %3d%% of %.1f MB", total ? static_cast<int>(done * 100 / total) : 100,
              static_cast<double>(total) / 1e6);
    };
  }
  std::vector<uint8_t> payload = wrap_payload(compress_entries(files, frame, progress));
  if (progress) fputc('\n', stderr);
  if (!payload_path.empty()) write_file(payload_path, payload);
  if (!object_path.empty()) write_file(object_path, launcher_object(payload, strings));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  fprintf(stderr, "veldro-pack: %zu entries, %llu bytes in, %zu bytes out, ratio %.3f, %.2f s\n",
          files.size(), static_cast<unsigned long long>(bytes_in), payload.size(),
          bytes_in ? static_cast<double>(payload.size()) / static_cast<double>(bytes_in) : 0.0,
          seconds);
  return 0;
}

int run_read(int argc, char** argv, bool verify) {
  const char* help = verify ? kVerifyHelp : kListHelp;
  if (argc == 1 && is_help(argv[0])) {
    fputs(help, stdout);
    return 0;
  }
  if (argc != 1) return usage(help, "give exactly one file");
  std::vector<uint8_t> file = read_file_bytes(argv[0]);
  PayloadLocation where;
  if (!locate_payload(file, &where)) throw PackError("'" + std::string(argv[0]) + "' holds no payload");
  FrameInfo frame;
  std::vector<EntryInfo> entries = read_entries(file.data() + where.offset, where.length, false, &frame);
  uint64_t total = 0;
  for (const EntryInfo& e : entries) total += e.size;
  if (verify) {
    printf("%s: ok, %zu entries, %llu bytes, checksum %s\n", argv[0], entries.size(),
           static_cast<unsigned long long>(total), frame.checksum ? "verified" : "absent");
    return 0;
  }
  for (const EntryInfo& e : entries) {
    printf("%12llu  %s\n", static_cast<unsigned long long>(e.size), utf8_from_utf16(e.name).c_str());
  }
  printf("%zu entries, %llu bytes, payload %zu bytes at offset %zu, ratio %.3f\n", entries.size(),
         static_cast<unsigned long long>(total), where.length, where.offset,
         total ? static_cast<double>(where.length) / static_cast<double>(total) : 0.0);
  printf("frame: %zu bytes, content size %llu, window %llu bytes, checksum %s\n", where.frame_bytes,
         static_cast<unsigned long long>(frame.content_size),
         static_cast<unsigned long long>(frame.window_size), frame.checksum ? "on" : "off");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage(kMainHelp, "no command");
  std::string command = argv[1];
  try {
    if (is_help(argv[1])) {
      fputs(kMainHelp, stdout);
      return 0;
    }
    if (command == "pack") return run_pack(argc - 2, argv + 2);
    if (command == "list") return run_read(argc - 2, argv + 2, false);
    if (command == "verify") return run_read(argc - 2, argv + 2, true);
    return usage(kMainHelp, "unknown command '" + command + "'");
  } catch (const std::exception& error) {
    fprintf(stderr, "veldro-pack: %s\n", error.what());
    return kBadInput;
  }
}
