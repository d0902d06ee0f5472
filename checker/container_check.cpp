#include "checker/container_check.h"

#include <cctype>
#include <filesystem>

#include "checker/container_parser.h"
#include "checker/container_text.h"
#include "checker/mmx_script.h"
#include "checker/rule_engine.h"
#include "checker/rule_set.h"

namespace mmx {
namespace {

void Report(CheckReport& report, Severity severity, Origin origin, std::string message) {
  report.findings.Add({severity, origin, 0, std::move(message)});
}

// Reads the container; false (with a finding saying why) when there is no text to parse.
bool ReadText(const std::string& path, ContainerText& text, CheckReport& report) {
  text = ReadContainer(path);
  const std::string named = "The container " + path;
  switch (text.kind) {
    case ContainerKind::kText:
      return true;
    case ContainerKind::kMissing:
      Report(report, Severity::kError, Origin::kContainer, named + " does not exist.");
      break;
    case ContainerKind::kUnreadable:
      Report(report, Severity::kError, Origin::kContainer, named + " cannot be read: " + text.detail + ".");
      break;
    case ContainerKind::kEmpty:
      Report(report, Severity::kError, Origin::kContainer, named + " is empty.");
      break;
    case ContainerKind::kBinary:
      Report(report, Severity::kError, Origin::kContainer,
             named + " is not a text file but " + text.detail + "; only SGML and XML containers can be checked.");
      break;
  }
  return false;
}

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// SGML allows a public identifier without system literal; XML does not.
bool IsSgml(const std::string& format) { return Lowered(format) == "sgm" || Lowered(format) == "sgml"; }

void CheckFormat(const std::string& format, CheckReport& report) {
  if (IsSgml(format) || Lowered(format) == "xml") return;
  Report(report, Severity::kWarning, Origin::kSetup,
         "The format \"" + format + "\" is unknown; the container is read as XML.");
}

StepResult PassedUnless(std::size_t errors) { return errors == 0 ? StepResult::kPassed : StepResult::kFailed; }

}  // namespace

CheckReport CheckContainer(const MmxCommand& command) {
  CheckReport report;
  const MmxScript script = ReadMmxScript(command.script, report.findings);
  report.findings.SetLimit(script.max_findings);
  report.title = script.title;
  report.container = command.container;
  report.rules_file = command.rules;
  CheckFormat(command.format, report);

  if (command.container.empty()) {
    Report(report, Severity::kError, Origin::kContainer, "The command names no container.");
    report.read = StepResult::kFailed;
    return report;
  }
  std::error_code ignored;
  report.full_path = std::filesystem::absolute(command.container, ignored).string();

  ContainerText text;
  if (!ReadText(command.container, text, report)) {
    report.read = StepResult::kFailed;
    return report;
  }
  report.read = StepResult::kPassed;
  if (IsSgml(command.format)) AddMissingSystemLiteral(text.bytes);
  std::string encoding = EncodingToForce(text.bytes, script.default_encoding);
  report.encoding = encoding.empty() ? "as the container declares (UTF-8 when it declares none)" : encoding;
  ConvertWindows1252(text.bytes, encoding);

  ParsedContainer parsed = ParseContainer(command.container, text.bytes, encoding, command.catalog,
                                          script.validate, report.findings);
  report.public_id = parsed.public_id;
  report.dtd = parsed.dtd;
  if (!parsed.document) {
    report.well_formed = StepResult::kFailed;
    return report;
  }
  report.well_formed = StepResult::kPassed;
  if (script.validate) report.valid = PassedUnless(report.findings.ErrorsFrom(Origin::kDtd));

  const std::vector<Rule> rules = ReadRules(command.rules, report.findings);
  report.rules_read = rules.size();
  report.rules_applied = ApplyRules(parsed.document.get(), rules, command.rules, report.findings);
  report.rules = rules.empty() ? StepResult::kNotRun : PassedUnless(report.findings.ErrorsFrom(Origin::kRule));
  return report;
}

}  // namespace mmx
