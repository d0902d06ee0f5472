#include "checker/report_writer.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "checker/text_encoding.h"

namespace mmx {
namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : DisplayText(text)) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Counted(std::size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Totals(const FindingList& findings) {
  return Counted(findings.Errors(), "error") + ", " + Counted(findings.Warnings(), "warning");
}

std::string Verdict(const FindingList& findings) {
  if (findings.Errors() > 0) return "failed";
  return findings.Warnings() > 0 ? "passed with warnings" : "passed";
}

const char* VerdictStyle(const FindingList& findings) {
  if (findings.Errors() > 0) return "error";
  return findings.Warnings() > 0 ? "warning" : "passed";
}

struct Label {
  const char* text;
  const char* style;
};

Label StepLabel(StepResult result) {
  switch (result) {
    case StepResult::kNotRun: return {"not checked", "none"};
    case StepResult::kPassed: return {"passed", "passed"};
    case StepResult::kFailed: return {"failed", "error"};
  }
  return {"", ""};
}

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string NotListed(const FindingList& findings) {
  const std::size_t hidden = findings.Total() - findings.Kept().size();
  return hidden == 0 ? "" : "Only the first " + std::to_string(findings.Kept().size()) + " of " +
                                std::to_string(findings.Total()) + " findings are listed.";
}

void WriteFile(const std::string& path, const std::string& content, const char* what) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << content;
  if (out) out.close();
  if (!out) throw std::runtime_error(std::string("The ") + what + " " + path + " cannot be written: " +
                                     std::strerror(errno) + ".");
}

void SummaryRow(std::ostringstream& html, const char* name, const std::string& value) {
  html << "<tr><th>" << name << "</th><td>" << value << "</td></tr>\n";
}

std::string StepCell(StepResult result) {
  const Label label = StepLabel(result);
  return std::string("<span class=\"") + label.style + "\">" + label.text + "</span>";
}

std::string RulesCell(const CheckReport& report) {
  if (report.rules_read == 0) return StepCell(report.rules);
  return StepCell(report.rules) + " (" + std::to_string(report.rules_applied) + " of " +
         std::to_string(report.rules_read) + " rules of " + Escaped(report.rules_file) + " applied)";
}

void Summary(std::ostringstream& html, const CheckReport& report) {
  html << "<h2>Summary</h2>\n<p class=\"verdict " << VerdictStyle(report.findings) << "\">Result: "
       << Verdict(report.findings) << " &mdash; " << Totals(report.findings) << "</p>\n<table>\n";
  SummaryRow(html, "Container", Escaped(report.full_path.empty() ? report.container : report.full_path));
  SummaryRow(html, "Checked", Now());
  if (!report.encoding.empty()) SummaryRow(html, "Read as", Escaped(report.encoding));
  if (!report.public_id.empty()) SummaryRow(html, "Document type", Escaped(report.public_id));
  if (!report.dtd.empty()) SummaryRow(html, "DTD", Escaped(report.dtd));
  SummaryRow(html, "Readable", StepCell(report.read));
  SummaryRow(html, "Well-formed", StepCell(report.well_formed));
  SummaryRow(html, "Valid against the DTD", StepCell(report.valid));
  SummaryRow(html, "Site rules", RulesCell(report));
  html << "</table>\n";
}

void Findings(std::ostringstream& html, const CheckReport& report) {
  html << "<h2>Findings</h2>\n";
  if (report.findings.Kept().empty()) {
    html << "<p>None.</p>\n";
    return;
  }
  html << "<table>\n<tr><th>Line</th><th>Severity</th><th>Step</th><th>Message</th></tr>\n";
  for (const Finding& finding : report.findings.Sorted()) {
    html << "<tr class=\"" << SeverityName(finding.severity) << "\"><td>"
         << (finding.line > 0 ? std::to_string(finding.line) : "&ndash;") << "</td><td>"
         << SeverityName(finding.severity) << "</td><td>" << OriginName(finding.origin) << "</td><td>"
         << Escaped(finding.message) << "</td></tr>\n";
  }
  html << "</table>\n";
  const std::string not_listed = NotListed(report.findings);
  if (!not_listed.empty()) html << "<p>" << not_listed << "</p>\n";
}

}  // namespace

void WriteErrFile(const std::string& path, const CheckReport& report) {
  std::ostringstream text;
  const std::string container = DisplayText(report.container);
  for (const Finding& finding : report.findings.Sorted()) {
    text << container;
    if (finding.line > 0) text << ':' << finding.line;
    text << ": " << SeverityName(finding.severity) << ": " << DisplayText(finding.message) << '\n';
  }
  const std::string not_listed = NotListed(report.findings);
  if (!not_listed.empty()) text << not_listed << '\n';
  text << Totals(report.findings) << '\n';
  WriteFile(path, text.str(), "error file");
}

void WriteHtmlLog(const std::string& path, const CheckReport& report) {
  std::ostringstream html;
  const std::string title = Escaped(report.title);
  html << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" << title << "</title>\n"
       << "<style>\n"
          "body { font-family: sans-serif; margin: 1em 2em; }\n"
          "table { border-collapse: collapse; margin-bottom: 1em; }\n"
          "th, td { border: 1px solid #b0b0b0; padding: 3px 8px; text-align: left; vertical-align: top; }\n"
          "th { background: #eeeeee; }\n"
          ".verdict { font-size: 120%; font-weight: bold; }\n"
          ".error { color: #b00000; }\n"
          ".warning { color: #8a5a00; }\n"
          ".passed { color: #006000; }\n"
          ".none { color: #606060; }\n"
          "</style>\n</head>\n<body>\n<h1>"
       << title << "</h1>\n";
  Summary(html, report);
  Findings(html, report);
  html << "</body>\n</html>\n";
  WriteFile(path, html.str(), "log");
}

}  // namespace mmx
