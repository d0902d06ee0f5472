#include "checker/rule_set.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace mmx {
namespace {

TEST(ParseRule, ReadsTheFourFieldsWithoutTheBlanksAroundThem) {
  Rule rule{};
  std::string reason;
  ASSERT_TRUE(ParseRule("warning ;  //EMAIL ; contains(., '@')  ;  No address: {.}; check it. ", rule, reason));
  EXPECT_EQ(rule.severity, Severity::kWarning);
  EXPECT_EQ(rule.context, "//EMAIL");
  EXPECT_EQ(rule.test, "contains(., '@')");
  EXPECT_EQ(rule.message, "No address: {.}; check it.");
}

TEST(ParseRule, ASemicolonInsideAStringLiteralDoesNotSeparate) {
  Rule rule{};
  std::string reason;
  ASSERT_TRUE(ParseRule("error ; //a[. = \"x;y\"] ; not(contains(., ';')) ; m", rule, reason));
  EXPECT_EQ(rule.severity, Severity::kError);
  EXPECT_EQ(rule.context, "//a[. = \"x;y\"]");
  EXPECT_EQ(rule.test, "not(contains(., ';'))");
  EXPECT_EQ(rule.message, "m");
}

TEST(ParseRule, RejectsLinesThatAreNoRules) {
  Rule rule{};
  std::string reason;
  EXPECT_FALSE(ParseRule("error ; //a ; true()", rule, reason));
  EXPECT_NE(reason.find("four fields"), std::string::npos);
  EXPECT_FALSE(ParseRule("fatal ; //a ; true() ; m", rule, reason));
  EXPECT_NE(reason.find("\"fatal\""), std::string::npos);
  EXPECT_FALSE(ParseRule("error ; //a ;  ; m", rule, reason));
  EXPECT_FALSE(ParseRule("error ; //a ; true() ;", rule, reason));
}

TEST(ReadRules, SkipsCommentsAndBlankLinesAndReportsBadLinesWithTheirNumber) {
  test::TempDir folder;
  const auto file = folder.Write("r.mck",
                                 "# comment ; with ; semicolons ; here\r\n"
                                 "\r\n"
                                 "error ; /* ; true() ; first\r\n"
                                 "nonsense\r\n"
                                 "   warning ; //x ; false() ; second\n");
  FindingList findings;
  const std::vector<Rule> rules = ReadRules(file.string(), findings);
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0].message, "first");
  EXPECT_EQ(rules[0].line, 3);
  EXPECT_EQ(rules[1].severity, Severity::kWarning);
  EXPECT_EQ(rules[1].line, 5);
  ASSERT_EQ(findings.Kept().size(), 1u);
  EXPECT_EQ(findings.Kept()[0].origin, Origin::kSetup);
  EXPECT_NE(findings.Kept()[0].message.find(file.string() + " line 4: "), std::string::npos);
}

TEST(ReadRules, AMissingFileGivesOneErrorAndNoRules) {
  FindingList findings;
  EXPECT_TRUE(ReadRules("/nonexistent/checkit.mck", findings).empty());
  EXPECT_EQ(findings.Errors(), 1u);
  EXPECT_NE(findings.Kept()[0].message.find("no rules were applied"), std::string::npos);
}

}  // namespace
}  // namespace mmx
