#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <string>
#include <vector>

#include "checker/finding.h"
#include "checker/rule_set.h"

namespace mmx {

// Applies `rules` to `document`. Where a test fails, a finding with the
// rule's severity and expanded message is reported at the line of the node.
// Besides XPath 1.0 the expressions may call
//   matches(string, pattern)  true when the ECMAScript regular expression finds a match
//   hex-value(string)         the number written in hexadecimal digits, with or without
//                             a leading 0x; NaN when the string is no such number
// A rule whose expressions are not valid gives one setup error naming its line
// in `rules_path` and is skipped. Returns the number of rules applied.
std::size_t ApplyRules(xmlDoc* document, const std::vector<Rule>& rules, const std::string& rules_path,
                       FindingList& findings);

}  // namespace mmx
