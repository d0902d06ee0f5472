#include "app/run/unattended_send.h"

#include <algorithm>
#include <iostream>

#include "app/delivery/run_report.h"
#include "app/delivery/send_texts.h"
#include "app/error_display.h"
#include "platform/ansi.h"

namespace app {
namespace {

// Latin letters of the first 256 code points; target names are ASCII or
// Windows-1252, mostly German.
char16_t FoldCase(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 0x20);
  return c;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  const std::u16string x = platform::DisplayText(a), y = platform::DisplayText(b);
  return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                    [](char16_t p, char16_t q) { return FoldCase(p) == FoldCase(q); });
}

bool Named(const std::vector<std::string>& names, const std::string& shortName) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& name) { return SameIgnoringCase(name, shortName); });
}

}  // namespace

std::vector<std::size_t> RowsNamed(const std::vector<rTargetList>& targets, const std::vector<std::string>& names) {
  std::vector<std::size_t> rows;
  for (std::size_t k = 0; k < targets.size(); ++k)
    if (Named(names, targets[k].ShortName)) rows.push_back(k);
  return rows;
}

std::string NamesOfNoTarget(const std::vector<rTargetList>& targets, const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    const bool known = std::any_of(targets.begin(), targets.end(),
                                   [&](const rTargetList& row) { return SameIgnoringCase(name, row.ShortName); });
    if (!known) text += (text.empty() ? "" : "\r") + std::string("No target has the short name \"") + name + "\"";
  }
  return text;
}

std::vector<TargetOutcome> PlannedTargets(const std::vector<rTargetList>& targets, const std::vector<std::size_t>& rows,
                                          const SiteServer& site, const std::string& container) {
  std::vector<TargetOutcome> planned;
  for (const std::size_t row : rows) planned.push_back(PlannedOutcome(targets[row], row, site, container));
  return planned;
}

void RunReporter::Write(int exitCode, const std::string& error, const std::string& container,
                        const DeliveryReport* delivery, const std::vector<TargetOutcome>& planned) const {
  if (!file_) return;
  RunRecord record;
  record.container = delivery ? delivery->container : container;
  record.started = started_;
  record.finished = std::chrono::system_clock::now();
  record.exitCode = exitCode;
  record.error = error;
  record.delivery = delivery;
  if (!delivery) record.planned = planned;
  try {
    WriteRunReport(*file_, record);
  } catch (const std::exception& failure) {
    ShowException(failure);
  }
}

int FinishUnattendedSend(UnattendedSend send, const RunReporter& reporter) {
  const std::optional<DeliveryReport>& report = send.report;
  int exitCode = report ? report->ExitCode() : 1;
  if (send.unknownNames) exitCode = 1;
  const bool reached = report && report->stopped.empty();
  if (report && !reached) send.error = report->stopped;
  reporter.Write(exitCode, send.error, send.container, reached ? &*report : nullptr, send.planned);
  for (const TargetOutcome& outcome : reached ? report->targets : send.planned)
    std::cout << platform::AnsiToUtf8(OutputLine(outcome)) << '\n';
  std::cout.flush();
  return exitCode;
}

}  // namespace app
