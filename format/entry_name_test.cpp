// Entry names: only a relative name that stays inside the folder it is joined to, and names
// a plain file there, is safe.
#include "format/entry_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string shown(const wchar_t* name) {
  std::string text;
  for (; *name != L'\0'; ++name) {
    if (*name >= 0x20 && *name < 0x7F) {
      text += static_cast<char>(*name);
    } else {
      text += "\\u" + std::to_string(static_cast<unsigned>(*name));
    }
  }
  return text;
}

TEST(EntryName, OnlyNamesThatStayInsideTheFolderAreSafe) {
  const wchar_t* const unsafe[] = {
      // Absolute, drive-relative, rooted, UNC and device paths.
      L"C:\\evil.txt", L"C:evil.txt", L"c:", L"\\evil.txt", L"\\\\server\\share\\evil.txt",
      L"\\\\?\\C:\\evil.txt",
      // Dot components, empty components, and components Windows strips a dot or blank from.
      L"..", L"..\\evil.txt", L"a\\..\\..\\evil.txt", L"a\\..", L".", L".\\a.txt", L"a\\\\b.txt",
      L"a\\", L"", L"evil.", L"evil ", L"dir.\\a.txt", L"dir \\a.txt", L"a\\b. ",
      // Streams and forbidden characters, controls included.
      L"app.dll:stream", L"a.txt::$DATA", L"a<b", L"a>b", L"a\"b", L"a|b", L"a?b", L"a*b",
      L"../evil.txt", L"a/b", L"tab\there", L"new\nline", L"a\x1f", L"\x01",
      // Devices, in any case, with an extension, blanks before it, or a superscript digit.
      L"CON", L"con", L"NUL.txt", L"aux\\a.txt", L"PRN.log", L"COM1", L"com9.txt", L"LPT1",
      L"lpt5.dat", L"COM0", L"LPT0", L"COM\u00b9", L"LPT\u00b2.txt", L"com\u00b3", L"CON .txt",
      L"nul  .x", L"CONIN$", L"conout$.txt", L"sub\\CON", L"CON.tar.gz", L"Com1 .log",
  };
  for (const wchar_t* name : unsafe) EXPECT_FALSE(entry_name_is_safe(name)) << shown(name);
  const wchar_t* const safe[] = {
      L"app.dll", L"lib\\greeter.dll", L"a\\b\\c\\d.txt", L".hidden", L"..dots", L"a..b",
      L"CONSOLE.txt", L"CONX", L"COM10", L"LPT", L"nul_device", L"mycon.txt", L"COMA.txt",
      L"caf\u00e9\\\u65e5\u672c.txt", L" leading blank", L"with space\\x y.txt", L"%TEMP%",
      L"a$b", L"CONIN", L"x.CON", L"CONIN$x", L"COM\u00b4", L"LPT\u2074", L"a\x7f",
  };
  for (const wchar_t* name : safe) EXPECT_TRUE(entry_name_is_safe(name)) << shown(name);
}

}  // namespace
