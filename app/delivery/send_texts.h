#pragma once

#include <chrono>
#include <string>

#include "app/delivery/target_outcome.h"

namespace app {

struct DeliveryReport;

// The status of a send that waits for another run on its container.
inline constexpr const char* kWaitingForOtherRun = "waiting for another run to finish sending this container";

// Containers with these extensions are text and go in ASCII mode: .cnt,
// .sgm, .ecu, .mem, .sgml, .xml (any letter case); anything else goes byte
// for byte.
bool IsTextContainer(const std::string& container);

// The status text of a command the server refused, by the FTP client's
// command kind; null for the kinds that leave the status as it is.
const char* RefusalStatus(int commandKind);

// "retry 1 of 2 in 10 s: <reason>"
std::string RetryLine(int retry, int retries, std::chrono::milliseconds wait, const std::string& reason);

// The log's line for a target after the send: "result: <SHORTNAME> delivered
// (1 attempt)", "... handed-over", "... failed: <reason> (3 attempts)" or
// "... not-sent".
std::string ResultLine(const TargetOutcome& outcome);

// The line an unattended run prints for a target: "<SHORTNAME> delivered
// <remote name>", "<SHORTNAME> handed-over", "<SHORTNAME> failed: <reason>",
// "<SHORTNAME> not-sent".
std::string OutputLine(const TargetOutcome& outcome);

// "finished" when every target got the container (and the backup copy was
// made); else how many failed; and when the log lost lines, that too.
std::string FinalStatus(const DeliveryReport& report);

// The server ("host:port") of a STOWA check-in address.
std::string StowaServerOf(const std::string& url);

}  // namespace app
