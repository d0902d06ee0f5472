#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "checker/finding.h"

namespace mmx {

// One rule of the rule file: for every node that `context` selects, `test`
// must hold; where it does not, `message` is reported at the node's line.
struct Rule {
  Severity severity;
  std::string context;  // XPath, evaluated at the document
  std::string test;     // XPath, evaluated at each context node, taken as a Boolean
  std::string message;  // may hold {XPath} parts, replaced by their string value at the node
  int line;             // where the rule stands in the rule file
};

// Reads one rule line "severity ; context ; test ; message". The message is
// the rest of the line; the expressions may hold ";" only inside quotes.
// Returns false (and a reason) when the line is no rule.
bool ParseRule(std::string_view line, Rule& rule, std::string& reason);

// Reads the rule file; blank lines and lines starting with "#" are skipped.
// A line that is no rule becomes an error finding and is left out; a file
// that cannot be read gives one error finding and no rules. Never raises.
std::vector<Rule> ReadRules(const std::string& path, FindingList& findings);

}  // namespace mmx
