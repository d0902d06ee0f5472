#include "checker/rule_set.h"

#include "checker/text_lines.h"

namespace mmx {
namespace {

// The position of the next ";" outside an XPath string literal, or npos.
std::size_t NextSeparator(std::string_view text, std::size_t from) {
  char quote = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';') {
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace

bool ParseRule(std::string_view line, Rule& rule, std::string& reason) {
  std::string_view fields[4];
  std::size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const std::size_t separator = NextSeparator(line, start);
    if (separator == std::string_view::npos) {
      reason = "a rule has four fields: severity ; context ; test ; message";
      return false;
    }
    fields[i] = Trim(line.substr(start, separator - start));
    start = separator + 1;
  }
  fields[3] = Trim(line.substr(start));

  if (fields[0] == "error") {
    rule.severity = Severity::kError;
  } else if (fields[0] == "warning") {
    rule.severity = Severity::kWarning;
  } else {
    reason = "the severity \"" + std::string(fields[0]) + "\" is neither error nor warning";
    return false;
  }
  if (fields[1].empty() || fields[2].empty() || fields[3].empty()) {
    reason = "context, test and message must not be empty";
    return false;
  }
  rule.context = fields[1];
  rule.test = fields[2];
  rule.message = fields[3];
  return true;
}

std::vector<Rule> ReadRules(const std::string& path, FindingList& findings) {
  std::vector<Rule> rules;
  const auto lines = ReadTextLines(path);
  if (!lines) {
    findings.Add({Severity::kError, Origin::kSetup, 0,
                  "The rule file " + path + " cannot be read; no rules were applied."});
    return rules;
  }
  for (std::size_t i = 0; i < lines->size(); ++i) {
    const std::string_view line = Trim((*lines)[i]);
    if (line.empty() || line.front() == '#') continue;
    Rule rule{};
    std::string reason;
    rule.line = static_cast<int>(i + 1);
    if (ParseRule(line, rule, reason)) {
      rules.push_back(std::move(rule));
    } else {
      findings.Add({Severity::kError, Origin::kSetup, 0,
                    path + " line " + std::to_string(i + 1) + ": " + reason + "; the line is ignored."});
    }
  }
  return rules;
}

}  // namespace mmx
