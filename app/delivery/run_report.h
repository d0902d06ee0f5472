#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app/delivery/target_outcome.h"

namespace app {

struct DeliveryReport;

// One unattended run as its report tells it.
struct RunRecord {
  std::string container;
  std::chrono::system_clock::time_point started;
  std::chrono::system_clock::time_point finished;
  int exitCode = 1;
  std::string error;  // why the run could not start; empty when it could
  // The send, when it reached its targets; else `planned` lists the selected
  // targets, none of them sent.
  const DeliveryReport* delivery = nullptr;
  std::vector<TargetOutcome> planned;
};

// The report as JSON (UTF-8): version, container, bytes, sha256, started,
// finished, exit_code, error, backup and one object per selected target.
std::string RunReportJson(const RunRecord& record);

// Writes the report to `path` in one step (a complete file or none). Raises
// EInOutError when it cannot be written.
void WriteRunReport(const std::string& path, const RunRecord& record);

}  // namespace app
