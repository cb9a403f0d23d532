// veldro-pack: turns an application folder into a onefile exe (on a prebuilt stub) or into the
// build input of a linked launcher, and reads built payloads back. Exit codes: 0 success,
// 1 usage error, 2 bad input.
#include <stdio.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pack/app_tree.h"
#include "pack/build_record.h"
#include "pack/byte_source.h"
#include "pack/cli.h"
#include "pack/coff_object.h"
#include "pack/exe_writer.h"
#include "pack/imports.h"
#include "pack/inputs_section.h"
#include "pack/inspect.h"
#include "pack/payload_writer.h"
#include "pack/pe_check.h"
#include "pack/pe_image.h"
#include "pack/resource_section.h"
#include "pack/resources.h"
#include "pack/template_check.h"
#include "pack/unpack.h"

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

#ifndef VELDRO_VERSION
#define VELDRO_VERSION "unknown"
#endif

namespace fs = std::filesystem;

namespace {

using namespace veldro;

constexpr int kUsageError = 1;
constexpr int kBadInput = 2;

// What a command gets: its parsed arguments, and its raw arguments for the input stamp.
struct Invocation {
  const ParsedArgs& args;
  std::vector<std::string> raw;
};

// One command of the CLI: `veldro-pack <name> ...`.
struct Command {
  const char* name;
  const char* summary;  // one line of the main help
  std::string help;     // `veldro-pack <name> --help`
  std::vector<OptionSpec> options;
  int (*run)(const Invocation& invocation);
};

// What both pack and build print about the template's placeholders.
const char kPlaceholderHelp[] =
    "\n"
    "Template placeholders (any case):\n"
    "  {TEMP} {HOME} {CACHE_DIR}\n"
    "      the user's temp, profile and local application data folders\n"
    "  {PROGRAM} {PROGRAM_BASE} {PROGRAM_DIR}\n"
    "      the exe as started (argv[0]), the same without '.exe', its folder\n"
    "  {PID} {TIME} {TIME_US} {RANDOM}\n"
    "      run-unique: the launcher's process id, the start time in 100 ns units since 1601,\n"
    "      its microsecond (six digits), 11 random characters\n"
    "  {COMPANY} {PRODUCT} {FILE_VERSION} {PRODUCT_VERSION} {VERSION}\n"
    "      the product strings; {VERSION} is the product version, '-', the file version\n";

const std::string kPackHelp = std::string(
    "usage: veldro-pack pack --main <name> [options] [--] <dir>...\n"
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
    "                           (default QuillBeacon, Quill Beacon, 1.0.0.0, 1.0.0); a version\n"
    "                           may be any text, its numeric fields take its leading numbers\n"
    "  --resource-script <out.rc>  write the exe's resources (version information, manifest,\n"
    "                           icon) as a resource script, with <out.rc>.manifest beside it\n"
    "  --icon <app.ico>         application icon for the resource script\n"
    "  --output-name <app.exe>  the exe's file name, for the version information\n"
    "  --strict                 refuse (exit 2) instead of warning when a packed DLL imports a\n"
    "                           DLL that is neither in the payload nor a system DLL\n"
    "  --system-dll <name>      count <name> as present on the target system (repeatable)\n"
    "  --depfile <out.d>        write the files and folders read, for the build system\n"
    "  --stamp <file>           record the inputs in <file>; when it already records the same\n"
    "                           ones (names, sizes, times, options) and the outputs exist,\n"
    "                           write nothing\n") +
    kPlaceholderHelp +
    "\n"
    "Refused, with one line naming the file (exit 2): a main file that is missing, not a\n"
    "64-bit PE DLL or without a run_code export; a missing or empty directory; names that\n"
    "leave the directory, contain characters Windows forbids or reach 1024 UTF-16 units; two\n"
    "files under one name or names that differ only in case; symbolic links pointing outside;\n"
    "a malformed icon; a template no run could use: one the launcher cannot expand, with a\n"
    "'.' or '..' component, or without a run-unique placeholder in its last component.\n";

const std::string kBuildHelp = std::string(
    "usage: veldro-pack build --main <name> [options] -o <app.exe> [--] <dir>...\n"
    "\n"
    "Writes a finished onefile exe without compiler, linker or resource compiler: packs the\n"
    "application as pack does, then writes the payload, the configuration and the resources\n"
    "(version information, manifest, icon) into a prebuilt launcher stub. The exe is written\n"
    "under a temporary name and renamed into place: a failure leaves no half-written file.\n"
    "\n"
    "  -o, --output <app.exe>   the exe to write (its file name is the version information's\n"
    "                           OriginalFilename)\n"
    "  --console                a console launcher, for command-line applications: it shares\n"
    "                           the console it is started from, and cmd waits for it\n"
    "  --stub <stub.exe>        the launcher stub to build on (default: veldro-stub-gui.exe, or\n"
    "                           veldro-stub-console.exe with --console, beside the packer)\n"
    "  --main <name>            main DLL: a name inside the first <dir>, or a path\n"
    "  --file <path>            add a single file at the top level (repeatable)\n"
    "  --icon <app.ico>         application icon\n"
    "  --template <dirspec>     target directory template (default {TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM})\n"
    "  --company <s> --product <s> --file-version <s> --product-version <s>\n"
    "                           product strings, as for pack\n"
    "  --level <1-22>, --threads <n>, --window-log <10-27>, --strict, --system-dll <name>\n"
    "                           as for pack\n") +
    kPlaceholderHelp +
    "\n"
    "Refused, with one line naming the file (exit 2): what pack refuses; a stub that is no\n"
    "64-bit Windows program, is cut short, has no payload section (.veldro) at its end or one\n"
    "of another layout, or already carries resources.\n";

const char kListHelp[] =
    "usage: veldro-pack list <app.exe|payload.bin>\n"
    "\n"
    "Prints every entry with its size, the totals, the compression ratio and the frame's\n"
    "parameters. The payload is found inside an exe without running it.\n";

const char kVerifyHelp[] =
    "usage: veldro-pack verify <app.exe|payload.bin>\n"
    "\n"
    "Checks an exe's image (its headers, its section table against the file's size, the\n"
    "payload inside one section; in an exe built on a stub, the payload section's layout and\n"
    "strings), then decodes the whole payload: the header, the frame and its checksum, every\n"
    "entry name, the end marker, the alignment and the trailer. Exit 0 when all is well, 2\n"
    "otherwise.\n";

const char kExtractHelp[] =
    "usage: veldro-pack extract <app.exe|payload.bin> <dir>\n"
    "\n"
    "Writes every entry below <dir>, which must be empty or is created, refusing the names the\n"
    "launcher refuses. Files written before a failure stay.\n";

bool stderr_is_terminal() {
#ifdef _WIN32
  return _isatty(2) != 0;
#else
  return isatty(2) != 0;
#endif
}

int parse_int(const std::string& text, int low, int high, const char* option) {
  char* end = nullptr;
  long v = strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0' || v < low || v > high) {
    throw UsageError(std::string(option) + " takes " + std::to_string(low) + " to " +
                     std::to_string(high));
  }
  return static_cast<int>(v);
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw PackError("cannot write '" + path + "'");
}

// The running packer's own file: for the input stamp (a rebuilt packer packs again) and to
// find the stubs beside it.
std::string packer_path(const char* argv0) {
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

long process_id() {
#ifdef _WIN32
  return static_cast<long>(GetCurrentProcessId());
#else
  return static_cast<long>(getpid());
#endif
}

// A progress line on a terminal, redrawn at most four times a second and always at the end.
class ProgressLine {
 public:
  void operator()(uint64_t done, uint64_t total) {
    auto now = std::chrono::steady_clock::now();
    if (done < total && drawn_ && now - last_ < std::chrono::milliseconds(250)) return;
    drawn_ = true;
    last_ = now;
    fprintf(stderr, "\rveldro-pack: %3d%% of %.1f MB", total ? static_cast<int>(done * 100 / total) : 100,
            static_cast<double>(total) / 1e6);
  }

 private:
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_;
};

// --- options of pack and build ---------------------------------------------------------------

// What pack and build take alike: the application, the frame, the configuration strings.
AppSources app_sources(const ParsedArgs& args) {
  AppSources sources;
  sources.main = args.value("--main");
  sources.files = args.list("--file");
  for (const std::string& dir : args.positionals) {
    for (const std::string& earlier : sources.directories) {
      if (earlier == dir) throw UsageError("directory '" + dir + "' given twice");
    }
    sources.directories.push_back(dir);
  }
  if (sources.main.empty()) throw UsageError("--main is required");
  return sources;
}

FrameOptions frame_options(const ParsedArgs& args) {
  FrameOptions frame;
  if (args.has("--level")) frame.level = parse_int(args.value("--level"), 1, 22, "--level");
  if (args.has("--threads")) frame.threads = parse_int(args.value("--threads"), 1, 256, "--threads");
  if (args.has("--window-log")) {
    frame.window_log = parse_int(args.value("--window-log"), 10, 27, "--window-log");
  }
  return frame;
}

LauncherStrings launcher_strings(const ParsedArgs& args) {
  LauncherStrings strings;
  if (args.has("--template")) strings.dir_spec = utf16_from_utf8(args.value("--template"));
  if (args.has("--company")) strings.company = utf16_from_utf8(args.value("--company"));
  if (args.has("--product")) strings.product = utf16_from_utf8(args.value("--product"));
  if (args.has("--file-version")) strings.file_version = utf16_from_utf8(args.value("--file-version"));
  if (args.has("--product-version")) {
    strings.product_version = utf16_from_utf8(args.value("--product-version"));
  }
  return strings;
}

// The options above, with those of one command.
std::vector<OptionSpec> app_options(std::vector<OptionSpec> own) {
  own.insert(own.end(), {{"--main", OptionKind::kValue},
                         {"--file", OptionKind::kList},
                         {"--level", OptionKind::kValue},
                         {"--threads", OptionKind::kValue},
                         {"--window-log", OptionKind::kValue},
                         {"--icon", OptionKind::kValue},
                         {"--template", OptionKind::kValue},
                         {"--company", OptionKind::kValue},
                         {"--product", OptionKind::kValue},
                         {"--file-version", OptionKind::kValue},
                         {"--product-version", OptionKind::kValue},
                         {"--strict", OptionKind::kFlag},
                         {"--system-dll", OptionKind::kList}});
  return own;
}

void print_missing_imports(const std::vector<MissingImport>& missing, bool strict) {
  for (const MissingImport& m : missing) {
    fprintf(stderr, "veldro-pack: %s'%s' imports '%s', which is neither in the payload nor a system DLL\n",
            strict ? "" : "warning: ", utf8_from_utf16(m.importer).c_str(), m.dll.c_str());
  }
  if (!missing.empty()) {
    fprintf(stderr,
            "veldro-pack: a run fails to load such a DLL (error 126): link statically (-static), "
            "pack the DLL too, or name it with --system-dll if the target system has it\n");
  }
}

// Warns about DLLs that a run could not load; false when --strict makes that a refusal.
bool imports_are_acceptable(const ParsedArgs& args, const std::vector<PackFile>& files) {
  bool strict = args.has("--strict");
  std::vector<MissingImport> missing = missing_imports(files, args.list("--system-dll"));
  print_missing_imports(missing, strict);
  return !strict || missing.empty();
}

// The payload, compressed with a progress line on a terminal.
std::vector<uint8_t> compressed_payload(const std::vector<PackFile>& files,
                                        const FrameOptions& frame) {
  ProgressLine line;
  ProgressReport progress;
  if (stderr_is_terminal()) progress = [&line](uint64_t done, uint64_t total) { line(done, total); };
  std::vector<uint8_t> payload = wrap_payload(compress_entries(files, frame, progress));
  if (progress) fputc('\n', stderr);
  return payload;
}

void print_summary(const std::vector<PackFile>& files, size_t bytes_out,
                   std::chrono::steady_clock::time_point started) {
  uint64_t bytes_in = 0;
  for (const PackFile& f : files) bytes_in += fs::file_size(f.path);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  fprintf(stderr, "veldro-pack: %zu entries, %llu bytes in, %zu bytes out, ratio %.3f, %.2f s\n",
          files.size(), static_cast<unsigned long long>(bytes_in), bytes_out,
          bytes_in ? static_cast<double>(bytes_out) / static_cast<double>(bytes_in) : 0.0, seconds);
}

// --- pack --------------------------------------------------------------------------------------

int run_pack(const Invocation& invocation) {
  const ParsedArgs& args = invocation.args;
  AppSources sources = app_sources(args);
  FrameOptions frame = frame_options(args);
  LauncherStrings strings = launcher_strings(args);
  ResourceInfo resources;
  resources.icon_path = args.value("--icon");
  resources.original_filename = args.value("--output-name");
  std::string payload_path = args.value("--payload"), object_path = args.value("--object");
  std::string script_path = args.value("--resource-script");
  if (payload_path.empty() && object_path.empty() && script_path.empty()) {
    throw UsageError("nothing to write: give --payload, --object or --resource-script");
  }

  check_template(strings);
  auto started = std::chrono::steady_clock::now();
  PackInputs inputs;
  std::vector<PackFile> files = collect_app_files(sources, &inputs.folders);
  for (const PackFile& f : files) inputs.files.push_back(f.path);
  if (!resources.icon_path.empty()) inputs.files.push_back(resources.icon_path);

  // Unchanged inputs with the outputs in place: nothing to do.
  std::vector<std::string> outputs;
  for (const std::string& out : {object_path, payload_path, script_path, args.value("--depfile")}) {
    if (!out.empty()) outputs.push_back(out);
  }
  if (!script_path.empty()) outputs.push_back(script_path + ".manifest");
  std::string stamp_path = args.value("--stamp"), stamp;
  if (!stamp_path.empty()) {
    stamp = inputs_stamp(invocation.raw, packer_path(invocation.raw.front().c_str()), inputs);
    bool outputs_exist = true;
    for (const std::string& out : outputs) outputs_exist = outputs_exist && fs::exists(out);
    if (outputs_exist && read_text_file(stamp_path) == stamp) return 0;
    std::error_code ignored;
    fs::remove(stamp_path, ignored);
  }

  check_main_dll(files.front().path);
  if (!resources.icon_path.empty()) check_icon(resources.icon_path);
  if (!imports_are_acceptable(args, files)) return kBadInput;
  if (!script_path.empty()) {
    resources.strings = strings;
    if (resources.original_filename.empty()) resources.original_filename = "onefile.exe";
    write_resource_script(script_path, resources);
  }

  std::vector<uint8_t> payload = compressed_payload(files, frame);
  if (!payload_path.empty()) write_file(payload_path, payload);
  if (!object_path.empty()) write_file(object_path, launcher_object(payload, strings));
  if (args.has("--depfile")) write_depfile(args.value("--depfile"), outputs.front(), inputs);
  if (!stamp_path.empty()) write_text_file(stamp_path, stamp);
  print_summary(files, payload.size(), started);
  return 0;
}

// --- build -------------------------------------------------------------------------------------

// The stub shipped beside the packer (cmake --install puts both in bin/).
std::string default_stub(const Invocation& invocation, bool console) {
  fs::path stub = fs::path(packer_path(invocation.raw.front().c_str())).parent_path() /
                  (console ? "veldro-stub-console.exe" : "veldro-stub-gui.exe");
  if (!fs::is_regular_file(stub)) {
    throw PackError("no launcher stub beside the packer: '" + stub.string() +
                    "' is missing; name one with --stub");
  }
  return stub.string();
}

// Writes under a temporary name beside path, then renames: a failure leaves no half-written
// file, and a file already at path stays as it was.
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

int run_build(const Invocation& invocation) {
  const ParsedArgs& args = invocation.args;
  AppSources sources = app_sources(args);
  FrameOptions frame = frame_options(args);
  LauncherStrings strings = launcher_strings(args);
  std::string output = args.value("--output");
  if (output.empty()) throw UsageError("-o is required: the exe to write");
  bool console = args.has("--console");
  std::string stub_path =
      args.has("--stub") ? args.value("--stub") : default_stub(invocation, console);

  check_template(strings);
  auto started = std::chrono::steady_clock::now();
  std::vector<PackFile> files = collect_app_files(sources);
  check_main_dll(files.front().path);
  ResourceInfo info;
  info.strings = strings;
  info.icon_path = args.value("--icon");
  info.original_filename = fs::path(output).filename().string();
  std::vector<Resource> resources = launcher_resources(info);
  Stub stub = read_stub(stub_path);
  if (console && !stub.console) {
    throw UsageError("--console: stub '" + stub_path + "' is a graphical one");
  }
  if (!imports_are_acceptable(args, files)) return kBadInput;

  std::vector<uint8_t> payload = compressed_payload(files, frame);
  size_t payload_bytes = payload.size();
  std::vector<uint8_t> inputs = inputs_section(payload, strings);
  payload = {};  // at most two copies of the payload in memory at a time
  std::vector<uint8_t> exe = build_exe(stub, resources, inputs);
  write_file_replacing(output, exe);
  print_summary(files, payload_bytes, started);
  fprintf(stderr, "veldro-pack: wrote '%s', %zu bytes, %s subsystem\n", output.c_str(), exe.size(),
          stub.console ? "console" : "graphical");
  return 0;
}

// --- list, verify, extract -----------------------------------------------------------------

const char kInputKind[] = "an exe or payload file";

void expect_positionals(const ParsedArgs& args, size_t count, const char* what) {
  if (args.positionals.size() != count) throw UsageError(std::string("give ") + what);
}

// list and verify: both decode everything; verify says only whether all is well.
int run_read(const Invocation& invocation, bool verify) {
  expect_positionals(invocation.args, 1, "exactly one file");
  const std::string& path = invocation.args.positionals[0];
  FileSource file(path, kInputKind);
  PayloadLocation where = find_payload(file);
  PeImage image;
  if (verify && read_pe_image(file, &image)) {
    const PeSection* inputs = find_inputs_section(image);
    if (inputs != nullptr) check_inputs_section(file, *inputs, where);
  }
  FrameInfo frame;
  std::vector<EntryInfo> entries = list_entries(file, where, &frame);
  uint64_t total = 0;
  for (const EntryInfo& e : entries) total += e.size;
  if (verify) {
    printf("%s: ok, %zu entries, %llu bytes, checksum %s\n", path.c_str(), entries.size(),
           static_cast<unsigned long long>(total), frame.checksum ? "verified" : "absent");
    return 0;
  }
  for (const EntryInfo& e : entries) {
    printf("%12llu  %s\n", static_cast<unsigned long long>(e.size), utf8_from_utf16(e.name).c_str());
  }
  printf("%zu entries, %llu bytes, payload %llu bytes at offset %llu, ratio %.3f\n", entries.size(),
         static_cast<unsigned long long>(total), static_cast<unsigned long long>(where.length),
         static_cast<unsigned long long>(where.offset),
         total ? static_cast<double>(where.length) / static_cast<double>(total) : 0.0);
  printf("frame: %llu bytes, content size %llu, window %llu bytes, checksum %s\n",
         static_cast<unsigned long long>(where.frame_bytes),
         static_cast<unsigned long long>(frame.content_size),
         static_cast<unsigned long long>(frame.window_size), frame.checksum ? "on" : "off");
  return 0;
}

int run_list(const Invocation& invocation) { return run_read(invocation, false); }
int run_verify(const Invocation& invocation) { return run_read(invocation, true); }

int run_extract(const Invocation& invocation) {
  expect_positionals(invocation.args, 2, "a file and a folder");
  const std::string& path = invocation.args.positionals[0];
  const std::string& dir = invocation.args.positionals[1];
  FileSource file(path, kInputKind);
  PayloadLocation where = find_payload(file);
  UnpackResult result = unpack_payload(file, where, dir);
  fprintf(stderr, "veldro-pack: %zu entries, %llu bytes written below '%s'\n", result.entries,
          static_cast<unsigned long long>(result.bytes), dir.c_str());
  return 0;
}

// --- commands ----------------------------------------------------------------------------------

const std::vector<Command>& commands() {
  static const std::vector<Command> kCommands = {
      {"pack", "pack an application folder into a payload and a launcher object file", kPackHelp,
       app_options({{"--payload", OptionKind::kValue},
                    {"--object", OptionKind::kValue},
                    {"--resource-script", OptionKind::kValue},
                    {"--output-name", OptionKind::kValue},
                    {"--depfile", OptionKind::kValue},
                    {"--stamp", OptionKind::kValue}}),
       run_pack},
      {"build", "write a finished exe from a prebuilt launcher stub, without a compiler",
       kBuildHelp,
       app_options({{"--output", OptionKind::kValue, "-o"},
                    {"--console", OptionKind::kFlag},
                    {"--stub", OptionKind::kValue}}),
       run_build},
      {"list", "list the entries of a built exe or payload file", kListHelp, {}, run_list},
      {"verify", "check a built exe or payload file completely", kVerifyHelp, {}, run_verify},
      {"extract", "write the entries of a built exe or payload file to a folder", kExtractHelp, {},
       run_extract},
  };
  return kCommands;
}

void print_main_help() {
  printf("usage: veldro-pack <command> [options]\n\ncommands:\n");
  for (const Command& c : commands()) printf("  %-9s%s\n", c.name, c.summary);
  printf("\nRun 'veldro-pack <command> --help' for the options of a command.\n");
}

// One line for the problem and one pointing at the help: the whole help would bury the line.
int usage_error(const std::string& problem, const Command* command) {
  if (command == nullptr) {
    fprintf(stderr, "veldro-pack: %s\nRun 'veldro-pack --help' for the commands.\n", problem.c_str());
  } else {
    fprintf(stderr, "veldro-pack: %s\nRun 'veldro-pack %s --help' for the options.\n", problem.c_str(),
            command->name);
  }
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage_error("no command given", nullptr);
  std::string name = argv[1];
  if (name == "--help" || name == "-h") {
    print_main_help();
    return 0;
  }
  if (name == "--version") {
    printf("veldro-pack %s\n", VELDRO_VERSION);
    return 0;
  }
  const Command* command = nullptr;
  for (const Command& c : commands()) {
    if (name == c.name) command = &c;
  }
  if (command == nullptr) return usage_error("unknown command '" + name + "'", nullptr);
  try {
    ParsedArgs args = parse_args(argc - 2, argv + 2, command->options);
    if (args.help) {
      fputs(command->help.c_str(), stdout);
      return 0;
    }
    Invocation invocation{args, std::vector<std::string>(argv, argv + argc)};
    return command->run(invocation);
  } catch (const UsageError& error) {
    return usage_error(error.what(), command);
  } catch (const std::exception& error) {
    fprintf(stderr, "veldro-pack: %s\n", error.what());
    return kBadInput;
  }
}
