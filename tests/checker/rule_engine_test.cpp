#include "checker/rule_engine.h"

#include <gtest/gtest.h>

#include <cstring>

#include "checker/xml_handles.h"

namespace mmx {
namespace {

constexpr const char* kContainer =
    "<ecu-memory-container>\n"                                           // 1
    "  <project-info>\n"                                                 // 2
    "    <sw-ident>SW 1</sw-ident>\n"                                    // 3
    "    <EMAIL>a@b.example</EMAIL>\n"                                   // 4
    "    <EMAIL>nobody</EMAIL>\n"                                        // 5
    "  </project-info>\n"                                                // 6
    "  <memory-block name=\"boot\" address=\"0x10\" length=\"0x2\">\n"  // 7
    "    <data>0A1B</data>\n"                                            // 8
    "  </memory-block>\n"                                                // 9
    "  <memory-block name=\"app\" address=\"zz\" length=\"0x1\">\n"     // 10
    "    <data>0A1</data>\n"                                             // 11
    "  </memory-block>\n"                                                // 12
    "</ecu-memory-container>\n";

class RuleEngineTest : public ::testing::Test {
 protected:
  RuleEngineTest()
      : document(xmlReadMemory(kContainer, static_cast<int>(std::strlen(kContainer)), "c.xml", nullptr, 0)) {}

  // Applies rules given as rule lines; returns the number applied.
  std::size_t Apply(std::initializer_list<const char*> lines) {
    std::vector<Rule> rules;
    int line = 0;
    for (const char* text : lines) {
      Rule rule{};
      std::string reason;
      EXPECT_TRUE(ParseRule(text, rule, reason)) << text;
      rule.line = ++line;
      rules.push_back(rule);
    }
    return ApplyRules(document.get(), rules, "r.mck", findings);
  }

  XmlDoc document;
  FindingList findings;
};

TEST_F(RuleEngineTest, ReportsEachNodeWhereTheTestFailsAtItsLine) {
  EXPECT_EQ(Apply({"error ; //EMAIL ; contains(., '@') ; not an address"}), 1u);
  ASSERT_EQ(findings.Kept().size(), 1u);
  EXPECT_EQ(findings.Kept()[0].line, 5);
  EXPECT_EQ(findings.Kept()[0].severity, Severity::kError);
  EXPECT_EQ(findings.Kept()[0].origin, Origin::kRule);
}

TEST_F(RuleEngineTest, AHoldingTestOrAnEmptyContextGivesNoFinding) {
  EXPECT_EQ(Apply({"error ; /* ; count(project-info) = 1 ; one head", "error ; //missing ; false() ; never"}), 2u);
  EXPECT_EQ(findings.Total(), 0u);
}

TEST_F(RuleEngineTest, ExpandsExpressionsInTheMessageAtTheNode) {
  Apply({"warning ; //memory-block ; false() ; Block {@name} at {@address} has {count(data)} line(s); {} stays"});
  ASSERT_EQ(findings.Kept().size(), 2u);
  EXPECT_EQ(findings.Kept()[0].message, "Block boot at 0x10 has 1 line(s); {} stays");
  EXPECT_EQ(findings.Kept()[1].message, "Block app at zz has 1 line(s); {} stays");
  EXPECT_EQ(findings.Kept()[1].line, 10);
  EXPECT_EQ(findings.Kept()[1].severity, Severity::kWarning);
}

TEST_F(RuleEngineTest, MatchesTestsARegularExpression) {
  Apply({"error ; //data ; matches(., '^([0-9A-F]{2})+$') ; odd {.}",
         "error ; //sw-ident ; matches(., '^[A-Z0-9_]+$') ; blank in {.}"});
  ASSERT_EQ(findings.Kept().size(), 2u);
  EXPECT_EQ(findings.Kept()[0].message, "odd 0A1");
  EXPECT_EQ(findings.Kept()[0].line, 11);
  EXPECT_EQ(findings.Kept()[1].message, "blank in SW 1");
}

TEST_F(RuleEngineTest, HexValueReadsHexadecimalNumbersAndGivesNaNForOthers) {
  Apply({"error ; //memory-block ; hex-value(@address) = 16 ; {@name}: {hex-value(@address)}",
         "error ; //data[1] ; hex-value(.) = 2587 and hex-value('0XfF') = 255 ; data {hex-value(.)}"});
  ASSERT_EQ(findings.Kept().size(), 2u);
  EXPECT_EQ(findings.Kept()[0].message, "app: NaN");
  EXPECT_EQ(findings.Kept()[1].message, "data 161");
}

TEST_F(RuleEngineTest, ARuleThatCannotBeEvaluatedIsReportedOnceAndTheOthersStillApply) {
  const std::size_t applied = Apply({
      "error ; //EMAIL[ ; true() ; broken context",
      "error ; //EMAIL ; contains(., '@') ; not an address",
      "error ; count(//EMAIL) ; true() ; a number is no context",
      "error ; //EMAIL ; no-such-function(.) ; unknown",
      "error ; //EMAIL ; matches(., '(') ; bad pattern",
      "error ; //EMAIL ; false() ; {substring(}",
  });
  EXPECT_EQ(applied, 1u);
  EXPECT_EQ(findings.ErrorsFrom(Origin::kRule), 1u);
  ASSERT_EQ(findings.ErrorsFrom(Origin::kSetup), 5u);
  std::vector<std::string> setup;
  for (const Finding& finding : findings.Kept()) {
    if (finding.origin == Origin::kSetup) setup.push_back(finding.message);
  }
  EXPECT_EQ(setup[0].rfind("r.mck line 1: \"//EMAIL[\" is no valid XPath expression", 0), 0u) << setup[0];
  EXPECT_EQ(setup[1].rfind("r.mck line 3: the context \"count(//EMAIL)\" selects no nodes", 0), 0u) << setup[1];
  EXPECT_EQ(setup[2].rfind("r.mck line 4: \"no-such-function(.)\" cannot be evaluated (an unknown function", 0), 0u)
      << setup[2];
  EXPECT_NE(setup[3].find("matches(): \"(\" is no valid regular expression"), std::string::npos) << setup[3];
  EXPECT_EQ(setup[4].rfind("r.mck line 6: \"substring(\" cannot be evaluated", 0), 0u) << setup[4];
  for (const std::string& message : setup) EXPECT_NE(message.find("the rule was not applied"), std::string::npos);
}

TEST_F(RuleEngineTest, VeryLongTextsNeverMatch) {
  const std::string data = std::string(5000, 'A');
  const std::string text = "<a><data>" + data + "</data></a>";
  document.reset(xmlReadMemory(text.c_str(), static_cast<int>(text.size()), "long.xml", nullptr, 0));
  Apply({"error ; //data ; matches(., '^A+$') ; too long: {.}"});
  ASSERT_EQ(findings.Kept().size(), 1u);
  EXPECT_LT(findings.Kept()[0].message.size(), 200u);
}

}  // namespace
}  // namespace mmx
