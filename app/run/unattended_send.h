#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/delivery/delivery.h"
#include "app/site/site_config.h"
#include "app/site/target_list.h"

namespace app {

// The rows whose short name is one of `names` (letters in any case), in list order.
std::vector<std::size_t> RowsNamed(const std::vector<rTargetList>& targets, const std::vector<std::string>& names);

// One line for each of `names` that no target has as its short name:
// "No target has the short name "<name>"", lines joined by CR; empty when
// every name is known.
std::string NamesOfNoTarget(const std::vector<rTargetList>& targets, const std::vector<std::string>& names);

// The targets of `rows` as a send would take them, none sent.
std::vector<TargetOutcome> PlannedTargets(const std::vector<rTargetList>& targets, const std::vector<std::size_t>& rows,
                                          const SiteServer& site, const std::string& container);

// The report file of an unattended run, when one is asked for.
class RunReporter {
 public:
  explicit RunReporter(std::optional<std::string> file = std::nullopt) : file_(std::move(file)) {}
  void SetFile(std::optional<std::string> file) { file_ = std::move(file); }

  // Writes what the run did: the send when it reached its targets, else the
  // planned targets and why it could not start. A report that cannot be
  // written is shown, not raised: the run's exit code stands.
  void Write(int exitCode, const std::string& error, const std::string& container, const DeliveryReport* delivery,
             const std::vector<TargetOutcome>& planned) const;

 private:
  std::optional<std::string> file_;
  std::chrono::system_clock::time_point started_ = std::chrono::system_clock::now();
};

// How an unattended send ended: its report (none when the send raised), the
// reason it could not send, and the targets it would have served.
struct UnattendedSend {
  std::optional<DeliveryReport> report;
  std::string error;
  bool unknownNames = false;  // a name given matched no target
  std::string container;
  std::vector<TargetOutcome> planned;
};

// Ends an unattended send: writes the report and one line per target to
// standard output, and returns the exit code (0 every target got it, 2 some
// did, 1 none did, the run could not send or a name matched no target).
int FinishUnattendedSend(UnattendedSend send, const RunReporter& reporter);

}  // namespace app
