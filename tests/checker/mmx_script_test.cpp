#include "checker/mmx_script.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace mmx {
namespace {

TEST(ReadMmxScript, ReadsEverySetting) {
  test::TempDir folder;
  const auto file = folder.Write("s.mmx",
                                 "# settings\r\n"
                                 "title =  Pr\xC3\xBC" "fung  \r\n"
                                 "default-encoding=iso-8859-15\n"
                                 "validate = no\n"
                                 "max-findings = 25\n");
  FindingList findings;
  const MmxScript script = ReadMmxScript(file.string(), findings);
  EXPECT_EQ(script.title, "Pr\xC3\xBC" "fung");
  EXPECT_EQ(script.default_encoding, "iso-8859-15");
  EXPECT_FALSE(script.validate);
  EXPECT_EQ(script.max_findings, 25u);
  EXPECT_EQ(findings.Total(), 0u);
}

TEST(ReadMmxScript, WarnsAboutWhatItDoesNotUnderstandAndKeepsTheDefaults) {
  test::TempDir folder;
  const auto file = folder.Write("s.mmx",
                                 "colour = blue\n"
                                 "validate = maybe\n"
                                 "max-findings = 0\n"
                                 "max-findings = 12x\n"
                                 "just words\n");
  FindingList findings;
  const MmxScript script = ReadMmxScript(file.string(), findings);
  const MmxScript defaults;
  EXPECT_EQ(script.validate, defaults.validate);
  EXPECT_EQ(script.max_findings, defaults.max_findings);
  EXPECT_EQ(findings.Warnings(), 5u);
  EXPECT_EQ(findings.Errors(), 0u);
  EXPECT_NE(findings.Kept()[1].message.find("line 2"), std::string::npos);
}

TEST(ReadMmxScript, AMissingScriptGivesTheDefaultsAndAWarning) {
  FindingList findings;
  const MmxScript script = ReadMmxScript("/nonexistent/checkit.mmx", findings);
  EXPECT_EQ(script.default_encoding, "windows-1252");
  EXPECT_TRUE(script.validate);
  EXPECT_EQ(findings.Warnings(), 1u);
}

}  // namespace
}  // namespace mmx
