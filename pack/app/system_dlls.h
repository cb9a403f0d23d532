// The DLLs that the import check counts as present on every target system: a constant table,
// kept apart from the check (imports.cpp) that reads it.
#pragma once

namespace veldro {

// DLLs that 64-bit Windows 10 has in System32 (most of them since Vista or 7), lower case.
// Not meant to be complete: a DLL missing here only draws a warning, which --system-dll
// silences.
inline constexpr const char* kSystemDlls[] = {
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

}  // namespace veldro
