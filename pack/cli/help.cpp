// The help texts (see help.h).
#include "pack/cli/help.h"

#include "format/dir_template.h"
#include "format/payload_layout.h"

namespace veldro {
namespace {

// The help's width: its longest lines but one (a default that cannot be broken) end here.
constexpr size_t kHelpWidth = 92;
constexpr size_t kPlaceholderIndent = 2, kMeaningIndent = 6;

std::string window_logs() {
  return std::to_string(kMinWindowLog) + "-" + std::to_string(kMaxWindowLog);
}

// text in lines of at most width columns (a longer word stands alone), each indented.
std::string wrapped(const std::string& text, size_t indent, size_t width) {
  std::string out, line;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(start, end - start);
    if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
      out += std::string(indent, ' ') + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  if (!line.empty()) out += std::string(indent, ' ') + line + "\n";
  return out;
}

}  // namespace

std::string placeholder_help(size_t width) {
  std::string out = "\nTemplate placeholders (any case):\n";
  for (size_t group = 0; group < kPlaceholderGroupCount; ++group) {
    std::string names;
    for (const PlaceholderInfo& info : kPlaceholders) {
      if (info.group != static_cast<int>(group)) continue;
      names += std::string(names.empty() ? "" : " ") + "{" + info.name + "}";
    }
    out += wrapped(names, kPlaceholderIndent, width);
    out += wrapped(kPlaceholderGroups[group], kMeaningIndent, width);
  }
  return out;
}

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
    "  --window-log <" + window_logs() + ">     zstd window log, memory the launcher needs to decode (default " +
    std::to_string(kDefaultWindowLog) + ")\n"
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
    placeholder_help(kHelpWidth) +
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
    "  --level <1-22>, --threads <n>, --window-log <" + window_logs() + ">, --strict, --system-dll <name>\n"
    "                           as for pack\n") +
    placeholder_help(kHelpWidth) +
    "\n"
    "Refused, with one line naming the file (exit 2): what pack refuses; a stub that is no\n"
    "64-bit Windows program, is cut short, has no payload section (.veldro) at its end or one\n"
    "of another layout, or already carries resources.\n";

const std::string kListHelp =
    "usage: veldro-pack list <app.exe|payload.bin>\n"
    "\n"
    "Prints every entry with its size, the totals, the compression ratio and the frame's\n"
    "parameters. The payload is found inside an exe without running it.\n";

const std::string kVerifyHelp =
    "usage: veldro-pack verify <app.exe|payload.bin>\n"
    "\n"
    "Checks an exe's image (its headers, its section table against the file's size, the\n"
    "payload inside one section; in an exe built on a stub, the payload section's layout and\n"
    "strings), then decodes the whole payload: the header, the frame and its checksum, every\n"
    "entry name, the end marker, the alignment and the trailer. Exit 0 when all is well, 2\n"
    "otherwise.\n";

const std::string kExtractHelp =
    "usage: veldro-pack extract <app.exe|payload.bin> <dir>\n"
    "\n"
    "Writes every entry below <dir>, which must be empty or is created, refusing the names the\n"
    "launcher refuses. Files written before a failure stay.\n";

}  // namespace veldro
