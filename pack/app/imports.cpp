// The main DLL's check and the import checks of the packed DLLs (see imports.h).
#include "pack/app/imports.h"

#include <algorithm>
#include <set>

#include "pack/base/byte_source.h"
#include "pack/base/pack_error.h"
#include "pack/image/pe_reader.h"

namespace veldro {
namespace {

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The last component of a payload name, lower-cased (payload names are checked to be plain
// names, so ASCII folding finds the DLLs the loader would find).
std::string entry_file_name(const std::u16string& name) {
  size_t slash = name.rfind(u'\\');
  std::string out;
  for (char16_t c : name.substr(slash == std::u16string::npos ? 0 : slash + 1)) {
    out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return lower(out);
}

// DLLs that 64-bit Windows 10 has in System32 (most of them since Vista or 7), lower case.
// Not meant to be complete: a DLL missing here only draws a warning, which --system-dll
// silences.
const char* const kSystemDlls[] = {
    "activeds.dll", "advapi32.dll", "authz.dll", "avrt.dll", "bcrypt.dll", "cabinet.dll",
    "cfgmgr32.dll", "clbcatq.dll", "comctl32.dll", "comdlg32.dll", "credui.dll", "crypt32.dll",
    "cryptbase.dll", "cryptnet.dll", "cryptsp.dll", "cryptui.dll", "d2d1.dll", "d3d10.dll",
    "d3d10_1.dll", "d3d11.dll", "d3d12.dll", "d3d9.dll", "d3dcompiler_47.dll", "dbgeng.dll",
    "dbghelp.dll", "dcomp.dll", "ddraw.dll", "devobj.dll", "dhcpcsvc.dll", "dinput8.dll",
    "dnsapi.dll", "dsound.dll", "dwmapi.dll", "dwrite.dll", "dxgi.dll", "dxva2.dll",
    "esent.dll", "evr.dll", "fltlib.dll", "gdi32.dll", "gdiplus.dll", "glu32.dll", "hid.dll",
    "httpapi.dll", "imagehlp.dll", "imm32.dll", "iphlpapi.dll", "kernel32.dll",
    "kernelbase.dll", "ksuser.dll", "mf.dll", "mfplat.dll", "mfreadwrite.dll", "mgmtapi.dll",
    "mpr.dll", "msacm32.dll", "mscms.dll", "msctf.dll", "msdmo.dll", "msi.dll", "msimg32.dll",
    "mstask.dll", "msvcp_win.dll", "msvcrt.dll", "mswsock.dll", "ncrypt.dll", "netapi32.dll",
    "normaliz.dll", "ntdll.dll", "ntdsapi.dll", "odbc32.dll", "ole32.dll", "oleacc.dll",
    "oleaut32.dll", "olepro32.dll", "opengl32.dll", "pdh.dll", "powrprof.dll", "propsys.dll",
    "psapi.dll", "rasapi32.dll", "rpcrt4.dll", "rstrtmgr.dll", "rtworkq.dll", "sechost.dll",
    "secur32.dll", "setupapi.dll", "sfc.dll", "shcore.dll", "shell32.dll", "shfolder.dll",
    "shlwapi.dll", "slc.dll", "spoolss.dll", "srvcli.dll", "sspicli.dll", "tdh.dll",
    "ucrtbase.dll", "urlmon.dll", "user32.dll", "userenv.dll", "usp10.dll", "uxtheme.dll",
    "version.dll", "virtdisk.dll", "wbemuuid.dll", "wer.dll", "wevtapi.dll",
    "windowscodecs.dll", "winhttp.dll", "wininet.dll", "winmm.dll", "winscard.dll",
    "winspool.drv", "wintrust.dll", "winusb.dll", "wkscli.dll", "wldap32.dll", "wlanapi.dll",
    "ws2_32.dll", "wsock32.dll", "wtsapi32.dll", "xinput1_4.dll", "xinput9_1_0.dll",
    "xmllite.dll",
};

}  // namespace

void check_main_dll(const std::string& path) {
  FileSource file(path, "a DLL");
  auto refuse = [&](const std::string& why) { throw PackError("main file '" + path + "' " + why); };
  PeImage image;
  if (!read_pe_image(file, &image) || !image.is_x64() || !image.is_dll()) {
    refuse("is not a 64-bit PE DLL");
  }
  if (!exports_name(file, image, "run_code")) refuse("has no run_code export");
}

bool is_system_dll(const std::string& name) {
  std::string dll = lower(name);
  if (dll.rfind("api-ms-win-", 0) == 0 || dll.rfind("ext-ms-", 0) == 0) return true;
  return std::any_of(std::begin(kSystemDlls), std::end(kSystemDlls),
                     [&](const char* known) { return dll == known; });
}

std::vector<MissingImport> missing_imports(const std::vector<PackFile>& files,
                                           const std::vector<std::string>& also_present) {
  std::set<std::string> present;
  for (const PackFile& file : files) present.insert(entry_file_name(file.name));
  for (const std::string& dll : also_present) present.insert(lower(dll));

  std::vector<MissingImport> missing;
  for (const PackFile& file : files) {
    if (file.path.empty()) continue;
    FileSource source(file.path, "a file");
    PeImage image;
    if (!read_pe_image(source, &image) || !image.is_dll()) continue;
    std::set<std::string> reported;  // a DLL imported twice is named once
    for (const std::string& dll : imported_dlls(source, image)) {
      std::string key = lower(dll);
      if (present.count(key) || is_system_dll(key) || !reported.insert(key).second) continue;
      missing.push_back({file.name, dll});
    }
  }
  return missing;
}

}  // namespace veldro
