// The pack-time template check: templates every run could use pass, and the ones that would
// fail every run, or give a folder that is not the run's own, are refused with their reason.
#include "pack/app/template_check.h"

#include <gtest/gtest.h>

#include <string>

#include "pack/base/pack_error.h"
#include "pack/base/text.h"

namespace {

using veldro::LauncherStrings;

// The refusal's text, or "" when the template passes.
std::string refusal(const std::u16string& dir_spec, const std::u16string& company = u"Acme") {
  LauncherStrings strings;
  strings.dir_spec = dir_spec;
  strings.company = company;
  try {
    veldro::check_template(strings);
  } catch (const veldro::PackError& error) {
    return error.what();
  }
  return "";
}

const char kNoExpansion[] = "cannot be expanded by the launcher";
const char kDotComponent[] = "has a '.' or '..' component";
const char kNotRunUnique[] = "names no run-unique placeholder";

TEST(TemplateCheck, PassesWhatARunCanUseAndRefusesTheRestWithItsReason) {
  const struct {
    std::u16string spec;
    const char* reason;  // a part of the refusal, or null when it passes
  } cases[] = {
      {u"{TEMP}\\onefile_{PID}_{TIME_US}_{RANDOM}", nullptr},
      {u"{temp}\\app_{Time}", nullptr},
      {u"veldro_rel_{RANDOM}", nullptr},  // relative: made absolute at run time
      {u"{PROGRAM_DIR}\\pd_{RANDOM}", nullptr},
      {u"{HOME}/cache/{COMPANY}_{PID}", nullptr},
      {u"{TEMP}\\{PID}\\", nullptr},  // a trailing separator names no component
      {u"{TEMP}\\{PID}.", nullptr},
      // Placeholders the launcher does not know, and braces it cannot parse: every run fails.
      {u"{TEMP}\\{TMEP}_{PID}", kNoExpansion},
      {u"{TEMP}\\x}_{PID}", kNoExpansion},
      {u"{}\\{PID}", kNoExpansion},
      {u"{TEMP}\\" + std::u16string(4096, u'x') + u"{PID}", kNoExpansion},
      // Components that move the target away from the folder the run-unique part names.
      {u"{TEMP}\\{RANDOM}\\..\\fixed", kDotComponent},
      {u"{TEMP}\\{RANDOM}\\.", kDotComponent},
      {u"{TEMP}/./{RANDOM}", kDotComponent},
      {u"..\\{PID}", kDotComponent},
      // No run-unique token, or none in the last component.
      {u"{TEMP}\\myapp", kNotRunUnique},
      {u"{TEMP}\\{PID}\\app", kNotRunUnique},
      {u"{TEMP}\\app_{PID", kNotRunUnique},  // the unclosed placeholder vanishes
      {u"", kNotRunUnique},
  };
  for (const auto& c : cases) {
    std::string got = refusal(c.spec);
    std::string label = veldro::utf8_from_utf16(c.spec.substr(0, 60));
    if (c.reason == nullptr) {
      EXPECT_EQ(got, "") << label;
    } else {
      EXPECT_NE(got.find(c.reason), std::string::npos) << label << ": " << got;
    }
  }
}

TEST(TemplateCheck, JudgesTheProductStringsTheTemplateNames) {
  EXPECT_EQ(refusal(u"{TEMP}\\{COMPANY}\\{PID}", u"Acme"), "");
  EXPECT_NE(refusal(u"{TEMP}\\{PID}\\{COMPANY}", u".."), "");
  EXPECT_NE(refusal(u"{TEMP}\\{PID}_{COMPANY}", u"x\\fixed"), "");
}

TEST(TemplateCheck, TheRefusalNamesTheTemplate) {
  EXPECT_EQ(refusal(u"{TEMP}\\myapp"),
            "template '{TEMP}\\myapp' names no run-unique placeholder ({PID}, {TIME}, {TIME_US} or "
            "{RANDOM}) in its last component; the clean-up deletes whatever stands at the target path");
}

}  // namespace
