#include "checker/mmx_script.h"

#include <charconv>

#include "checker/text_lines.h"

namespace mmx {
namespace {

void Warn(FindingList& findings, const std::string& where, const std::string& what) {
  findings.Add({Severity::kWarning, Origin::kSetup, 0, where + ": " + what});
}

// Applies one setting; returns false when the name or value is not understood.
bool Apply(std::string_view name, std::string_view value, MmxScript& script) {
  if (name == "title") {
    script.title = value;
    return true;
  }
  if (name == "default-encoding") {
    script.default_encoding = value;
    return !value.empty();
  }
  if (name == "validate") {
    if (value != "yes" && value != "no") return false;
    script.validate = value == "yes";
    return true;
  }
  if (name == "max-findings") {
    std::size_t limit = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), limit);
    if (error != std::errc() || end != value.data() + value.size() || limit == 0) return false;
    script.max_findings = limit;
    return true;
  }
  return false;
}

}  // namespace

MmxScript ReadMmxScript(const std::string& path, FindingList& findings) {
  MmxScript script;
  const auto lines = ReadTextLines(path);
  if (!lines) {
    Warn(findings, path, "the script cannot be read; the default settings are used");
    return script;
  }
  for (std::size_t i = 0; i < lines->size(); ++i) {
    const std::string_view line = Trim((*lines)[i]);
    if (line.empty() || line.front() == '#') continue;
    const std::string where = path + " line " + std::to_string(i + 1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      Warn(findings, where, "\"" + std::string(line) + "\" is not a setting of the form name = value");
      continue;
    }
    MmxScript changed = script;
    if (Apply(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), changed)) {
      script = changed;
    } else {
      Warn(findings, where, "\"" + std::string(line) + "\" is not understood and is ignored");
    }
  }
  return script;
}

}  // namespace mmx
