// The template grammar with stand-in values: every edge case of a template in one table, what
// each capacity leaves in the output, the placeholder table's invariants, and README.md's
// placeholder table against it.
#include "format/dir_template.h"

#include <gtest/gtest.h>
#include <wchar.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

// What the value function gives; a null folder is one the system cannot give.
struct Values {
  const wchar_t* temp = L"C:\\Users\\u\\AppData\\Local\\Temp\\";
  const wchar_t* home = L"C:\\Users\\u";
  const wchar_t* cache = L"C:\\Users\\u\\AppData\\Local";
  const wchar_t* program = L"C:\\Apps\\tool.EXE";
};
Values temp(const wchar_t* value) { Values v; v.temp = value; return v; }
Values home(const wchar_t* value) { Values v; v.home = value; return v; }
Values program(const wchar_t* value) { Values v; v.program = value; return v; }

const wchar_t* stand_in(void* context, Placeholder which, size_t room) {
  const Values& values = *static_cast<const Values*>(context);
  switch (which) {
    // As the launcher's lookup: a temp folder longer than the room gives nothing usable.
    case Placeholder::kTemp: return wcslen(values.temp) + 1 <= room ? values.temp : L"";
    case Placeholder::kHome: return values.home;
    case Placeholder::kCacheDir: return values.cache;
    case Placeholder::kProgram: return values.program;
    case Placeholder::kPid: return L"4242";
    case Placeholder::kTime: return L"133000000001234567";
    case Placeholder::kTimeUs: return L"012345";
    case Placeholder::kRandom: return L"abc";
    case Placeholder::kCompany: return L"QuillBeacon";
    case Placeholder::kProduct: return L"Quill Beacon";
    case Placeholder::kVersion: return L"1.0.0-1.0.0.0";
    case Placeholder::kFileVersion: return L"1.0.0.0";
    case Placeholder::kProductVersion: return L"1.0.0";
    case Placeholder::kProgramBase:
    case Placeholder::kProgramDir: break;
  }
  ADD_FAILURE() << "asked for a derived value " << static_cast<int>(which);
  return nullptr;
}

constexpr size_t kRoomy = 4096;
constexpr size_t kGuardUnits = 8;

struct Result {
  Expansion expansion;
  std::wstring text;
};

// Expands into exactly `capacity` units followed by a guard that must stay untouched.
Result expand(const std::wstring& dir_template, size_t capacity, Values values = {}) {
  std::vector<wchar_t> out(capacity + kGuardUnits, L'#');
  Expansion expansion =
      expand_template(out.data(), capacity, dir_template.c_str(), stand_in, &values);
  size_t length = wcsnlen(out.data(), capacity);
  EXPECT_LT(length, capacity) << "unterminated at capacity " << capacity;
  EXPECT_EQ(std::wstring(out.end() - kGuardUnits, out.end()), std::wstring(kGuardUnits, L'#'))
      << "written past capacity " << capacity;
  return {expansion, std::wstring(out.data(), length)};
}

TEST(ExpandTemplate, EdgeCases) {
  const std::wstring temp_path = L"C:\\Users\\u\\AppData\\Local\\Temp";
  const Expansion kOk = Expansion::kExpanded, kFailed = Expansion::kFailed,
                  kTooLong = Expansion::kValueTooLong;
  const struct {
    std::wstring dir_template;
    size_t capacity;
    Expansion expansion;
    std::wstring text;  // also what is left after a failure
    Values values;
  } cases[] = {
      // The default template: one backslash before onefile_ whatever the temp path ends in.
      {L"{TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM}", kRoomy, kOk,
       temp_path + L"\\onefile_4242_012345_abc"},
      {L"{TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM}", kRoomy, kOk, L"C:\\onefile_4242_012345_abc",
       temp(L"C:\\")},
      // Names are matched whole and without regard to case.
      {L"{Temp}|{pId}|{Random}|{time_us}|{Time}", kRoomy, kOk,
       temp_path + L"|4242|abc|012345|133000000001234567"},
      {L"{TEMPX}", kRoomy, kFailed, L""},
      {L"{TEM}", kRoomy, kFailed, L""},
      // Literal text only, and the empty template.
      {L"plain literal text", kRoomy, kOk, L"plain literal text"},
      {L"", kRoomy, kOk, L""},
      {L"", 1, kOk, L""},
      {L"a", 1, kFailed, L""},
      // Unknown and empty names fail; the output keeps what came before them.
      {L"abc{}def", kRoomy, kFailed, L"abc"},
      {L"abc{FOO}def", kRoomy, kFailed, L"abc"},
      // An unclosed placeholder vanishes; a second '{' starts the placeholder afresh.
      {L"abc{TEMP", kRoomy, kOk, L"abc"},
      {L"{X{TEMP}", kRoomy, kOk, temp_path},
      {L"{FOO{BAR{PID}x", kRoomy, kOk, L"4242x"},
      // A stray '}' fails, before or after a placeholder; so does an over-long name.
      {L"ab}cd", kRoomy, kFailed, L"ab"},
      {L"{PID}}", kRoomy, kFailed, L"4242"},
      {L"ab{" + std::wstring(1024, L'N') + L"}", kRoomy, kFailed, L"ab"},
      {L"{PID" + std::wstring(5000, L'N') + L"}", kRoomy, kFailed, L""},
      {L"{" + std::wstring(5000, L'N') + L"{TEMP}", kRoomy, kOk, temp_path},
      // Literal text that does not fit fails with the output kept; a value that does not fit
      // is kValueTooLong, but a temp folder the room cannot take is an empty folder (kFailed).
      {L"1234567890", 10, kFailed, L"123456789"},
      {L"{COMPANY}", 11, kTooLong, L""},
      {L"ab\\\\{TEMP}cd", 12, kFailed, L"ab\\\\"},
      {L"ab{TEMP}", 8, kOk, L"abC:\\T", temp(L"C:\\T\\")},
      {L"ab{TEMP}", 7, kFailed, L"ab", temp(L"C:\\T\\")},
      {L"{HOME}", 12, kTooLong, L"", home(L"C:\\Users\\u\\\\")},  // its backslashes count
      {L"ab{PROGRAM_DIR}", 8, kTooLong, L"ab", program(L"C:\\Apps\\tool.exe")},
      {L"{PROGRAM_BASE}", 16, kTooLong, L"", program(L"C:\\Apps\\tool.EXE")},
      {L"{PROGRAM_BASE}", 17, kOk, L"C:\\Apps\\tool", program(L"C:\\Apps\\tool.EXE")},
      // Folder values lose trailing backslashes, only after TEMP, HOME and CACHE_DIR; an empty
      // folder, or one the system cannot give, fails.
      {L"{TEMP}\\onefile_{PID}", kRoomy, kFailed, L"", temp(L"")},
      {L"{HOME}|", kRoomy, kOk, L"C:\\Users\\u|", home(L"C:\\Users\\u\\\\")},
      {L"{CACHE_DIR}\\cache", kRoomy, kOk, L"C:\\Users\\u\\AppData\\Local\\cache"},
      {L"x{HOME}", kRoomy, kFailed, L"x", home(L"")},
      {L"x{HOME}", kRoomy, kFailed, L"x", home(nullptr)},
      {L"{PROGRAM}", kRoomy, kOk, L"C:\\Apps\\", program(L"C:\\Apps\\")},
      {L"{PROGRAM_DIR}|", kRoomy, kOk, L"C:\\Apps|", program(L"C:\\Apps\\")},
      // {PROGRAM} is argv[0] as given; _BASE drops a final .exe, _DIR cuts at the last '\'.
      {L"{PROGRAM_BASE}", kRoomy, kOk, L"C:\\Apps\\tool"},
      {L"{PROGRAM_DIR}", kRoomy, kOk, L"C:\\Apps"},
      {L"{PROGRAM_BASE}", kRoomy, kOk, L"tool", program(L"tool.exe")},
      {L"{PROGRAM_DIR}", kRoomy, kOk, L"tool.exe", program(L"tool.exe")},
      {L"{PROGRAM_DIR}", kRoomy, kOk, L"C:", program(L"C:\\tool.exe")},
      {L"[{PROGRAM_BASE}]", kRoomy, kOk, L"[]", program(L".exe")},
      {L"[{PROGRAM_BASE}]", kRoomy, kOk, L"[exe]", program(L"exe")},
      {L"{PROGRAM_BASE}", kRoomy, kOk, L"C:\\a.exe\\b", program(L"C:\\a.exe\\b")},
      {L"{PROGRAM_DIR}", kRoomy, kOk, L"C:/Apps/tool.exe", program(L"C:/Apps/tool.exe")},
      {L"[{PROGRAM}]", kRoomy, kOk, L"[]", program(L"")},
      // The build's product strings, each from its own field.
      {L"{COMPANY}|{PRODUCT}|{VERSION}|{FILE_VERSION}|{Product_Version}", kRoomy, kOk,
       L"QuillBeacon|Quill Beacon|1.0.0-1.0.0.0|1.0.0.0|1.0.0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << ", capacity " << c.capacity);
    Result r = expand(c.dir_template, c.capacity, c.values);
    EXPECT_EQ(r.expansion, c.expansion);
    EXPECT_EQ(r.text, c.text);
  }
}

// Every capacity leaves a terminated prefix of the full expansion and nothing past its end;
// exactly the capacities from the one the template needs up expand it whole.
TEST(ExpandTemplate, EveryCapacityLeavesATerminatedPrefix) {
  const struct {
    std::wstring dir_template;
    Values values;
    size_t needed;
  } cases[] = {
      {L"literal{PID}", {}, 12},
      {L"{TEMP}\\onefile_{PID}", temp(L"C:\\T\\"), 18},
      // The whole of {PROGRAM} must fit after "ab", though only "C:\Apps" is kept.
      {L"ab{PROGRAM_DIR}\\x", program(L"C:\\Apps\\tool.exe"), 19},
      // The folder with its three trailing backslashes must fit before they go.
      {L"ab{HOME}\\x", home(L"C:\\u\\\\\\"), 10},
  };
  for (const auto& c : cases) {
    const Result full = expand(c.dir_template, kRoomy, c.values);
    ASSERT_EQ(full.expansion, Expansion::kExpanded);
    for (size_t capacity = 1; capacity < c.needed + 3; ++capacity) {
      SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << ", capacity " << capacity);
      Result r = expand(c.dir_template, capacity, c.values);
      EXPECT_EQ(full.text.compare(0, r.text.size(), r.text), 0) << "not a prefix";
      EXPECT_EQ(r.expansion == Expansion::kExpanded, capacity >= c.needed);
      if (r.expansion == Expansion::kExpanded) {
        EXPECT_EQ(r.text, full.text);
      }
    }
  }
}

TEST(PlaceholderTable, OneEntryEachMatchableNamesProductStringsOnStringFields) {
  for (size_t i = 0; i < kPlaceholderCount; ++i) {
    Placeholder which = static_cast<Placeholder>(i);
    int entries = 0;
    for (const PlaceholderInfo& info : kPlaceholders) entries += info.which == which;
    EXPECT_EQ(entries, 1) << "placeholder " << i;
    EXPECT_EQ(placeholder_info(which).which, which);
  }
  bool field_taken[kInputsFieldCount] = {};
  for (const PlaceholderInfo& info : kPlaceholders) {
    // The expander compares the template's name, upper-cased, with the table's.
    EXPECT_EQ(std::string(info.name).find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_"),
              std::string::npos) << info.name;
    if (info.kind != PlaceholderKind::kProductString) continue;
    // The launcher reads the value from this field as a terminated string.
    EXPECT_GT(info.field, kInputsDirSpec) << info.name;
    EXPECT_LT(info.field, kInputsFieldCount) << info.name;
    EXPECT_FALSE(field_taken[info.field]) << info.name;
    field_taken[info.field] = true;
  }
}

// README.md's table of placeholders: a row for each group, naming its placeholders in table
// order.
TEST(PlaceholderTable, ReadmeListsEachGroupInTableOrder) {
  std::ifstream readme(VELDRO_SOURCE_DIR "/README.md");
  ASSERT_TRUE(readme) << VELDRO_SOURCE_DIR "/README.md";
  std::vector<std::vector<std::string>> rows;
  std::string line;
  bool in_section = false;
  while (std::getline(readme, line)) {
    if (line.rfind("The template's placeholders", 0) == 0) in_section = true;
    if (!in_section || line.empty()) continue;
    if (line[0] != '|') {
      if (!rows.empty()) break;
      continue;
    }
    std::string first_cell = line.substr(1, line.find('|', 1) - 1);
    std::vector<std::string> names;
    for (size_t open = first_cell.find('{'); open != std::string::npos;
         open = first_cell.find('{', open + 1)) {
      names.push_back(first_cell.substr(open + 1, first_cell.find('}', open) - open - 1));
    }
    if (!names.empty()) rows.push_back(names);
  }
  std::vector<std::vector<std::string>> groups(kPlaceholderGroupCount);
  for (const PlaceholderInfo& info : kPlaceholders) groups.at(info.group).push_back(info.name);
  EXPECT_EQ(rows, groups);
}

}  // namespace
