#include "checker/mmx_command.h"

#include <algorithm>

namespace mmx {
namespace {

constexpr std::string_view kScriptKey = " -X ";
constexpr std::string_view kCatalogKey = " -A catalog ";
constexpr std::string_view kFormatKey = " -F ";
constexpr std::string_view kContainerKey = " -S ";
constexpr std::string_view kErrfileKey = " -A errfile ";
constexpr std::string_view kLogfileKey = " logfile ";
constexpr std::string_view kHtmlKey = " html ";
constexpr std::string_view kRulesKey = " rules ";

// The value after `key` in the part before -S, up to the next of its options.
std::string ValueIn(std::string_view head, std::string_view key) {
  const std::size_t found = head.find(key);
  if (found == std::string_view::npos) return {};
  const std::size_t start = found + key.size();
  std::size_t end = head.size();
  for (std::string_view next : {kScriptKey, std::string_view(" -A "), kFormatKey}) {
    end = std::min(end, head.find(next, start));
  }
  return std::string(head.substr(start, end - start));
}

// Divides "C -A errfile E logfile L" into its three paths.
void SplitContainerFiles(std::string_view text, MmxCommand& command) {
  for (std::size_t at = text.find(kErrfileKey); at != std::string_view::npos;
       at = text.find(kErrfileKey, at + 1)) {
    const std::string container(text.substr(0, at));
    const std::string errfile = container + ".err";
    const std::string logfile = container + "-log.html";
    if (text == container + std::string(kErrfileKey) + errfile + std::string(kLogfileKey) + logfile) {
      command.container = container;
      command.errfile = errfile;
      command.logfile = logfile;
      return;
    }
  }
  const std::size_t errfile_at = text.find(kErrfileKey);
  command.container = std::string(text.substr(0, errfile_at));
  if (errfile_at == std::string_view::npos) return;
  std::string_view rest = text.substr(errfile_at + kErrfileKey.size());
  const std::size_t logfile_at = rest.find(kLogfileKey);
  command.errfile = std::string(rest.substr(0, logfile_at));
  if (logfile_at != std::string_view::npos) command.logfile = std::string(rest.substr(logfile_at + kLogfileKey.size()));
}

}  // namespace

MmxCommand ParseMmxCommand(std::string_view command) {
  // Every option word is looked for with a blank before it.
  const std::string padded = command.empty() || command.front() != ' ' ? " " + std::string(command)
                                                                       : std::string(command);
  std::string_view text = padded;
  MmxCommand result;

  const std::size_t container_at = text.find(kContainerKey);
  const std::string_view head = text.substr(0, container_at);
  result.script = ValueIn(head, kScriptKey);
  result.catalog = ValueIn(head, kCatalogKey);
  result.format = ValueIn(head, kFormatKey);
  if (container_at == std::string_view::npos) return result;

  std::string_view tail = text.substr(container_at + kContainerKey.size());
  if (const std::size_t at = tail.rfind(kRulesKey); at != std::string_view::npos) {
    result.rules = std::string(tail.substr(at + kRulesKey.size()));
    tail = tail.substr(0, at);
  }
  if (const std::size_t at = tail.rfind(kHtmlKey); at != std::string_view::npos) {
    const std::string_view answer = tail.substr(at + kHtmlKey.size());
    if (answer == "yes" || answer == "no") {
      result.html = answer == "yes";
      tail = tail.substr(0, at);
    }
  }
  SplitContainerFiles(tail, result);
  return result;
}

}  // namespace mmx
