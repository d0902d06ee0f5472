#include "app/delivery/send_texts.h"

#include <filesystem>

#include "app/ascii_case.h"
#include "app/delivery/delivery.h"
#include "app/path_text.h"
#include "ftp/ftp_client.h"

namespace app {
namespace {

std::string Attempts(int attempts) {
  return " (" + std::to_string(attempts) + (attempts == 1 ? " attempt)" : " attempts)");
}

std::string Reason(const TargetOutcome& outcome) { return outcome.error ? outcome.error->text : "not sent"; }

}  // namespace

bool IsTextContainer(const std::string& container) {
  const std::string name = PathText(PathOf(container).filename());
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = AsciiUpper(name.substr(dot));
  for (const char* text : {".CNT", ".SGM", ".ECU", ".MEM", ".SGML", ".XML"})
    if (extension == text) return true;
  return false;
}

const char* RefusalStatus(int commandKind) {
  switch (commandKind) {
    case ftp::ctChangeDir: return "FTP: change directory failed";
    case ftp::ctDownload: return "FTP: Download file failed";
    case ftp::ctUpload: return "FTP: Upload container failed";
    case ftp::ctRename: return "FTP: rename failed";
    default: return nullptr;
  }
}

std::string RetryLine(int retry, int retries, std::chrono::milliseconds wait, const std::string& reason) {
  const long long seconds = (wait.count() + 500) / 1000;
  return "retry " + std::to_string(retry) + " of " + std::to_string(retries) + " in " + std::to_string(seconds) +
         " s: " + reason;
}

std::string ResultLine(const TargetOutcome& outcome) {
  std::string line = "result: " + outcome.target.ShortName + " " + ResultName(outcome.result);
  if (outcome.result == TargetResult::kFailed) line += ": " + Reason(outcome);
  return outcome.attempts > 0 ? line + Attempts(outcome.attempts) : line;
}

std::string OutputLine(const TargetOutcome& outcome) {
  const std::string name = outcome.target.ShortName + " ";
  switch (outcome.result) {
    case TargetResult::kDelivered: return name + "delivered " + outcome.remoteName;
    case TargetResult::kFailed: return name + "failed: " + Reason(outcome);
    default: return name + ResultName(outcome.result);
  }
}

std::string FinalStatus(const DeliveryReport& report) {
  const std::size_t failed = report.Failed();
  std::string status = failed > 0 ? std::to_string(failed) + " of " + std::to_string(report.targets.size()) +
                                        (report.targets.size() == 1 ? " target failed" : " targets failed")
                       : report.backupWanted && !report.backupDone ? "finished, but the backup copy failed"
                                                                   : "finished";
  return report.logUnwritable ? status + "; the transfer log could not be written" : status;
}

std::string StowaServerOf(const std::string& url) {
  const std::string scheme = "http://";
  const std::string rest = url.starts_with(scheme) ? url.substr(scheme.size()) : url;
  return rest.substr(0, rest.find('/'));
}

const char* ResultName(TargetResult result) {
  switch (result) {
    case TargetResult::kDelivered: return "delivered";
    case TargetResult::kHandedOver: return "handed-over";
    case TargetResult::kFailed: return "failed";
    case TargetResult::kNotSent: return "not-sent";
  }
  return "";
}

const char* FailureClassName(FailureClass kind) {
  switch (kind) {
    case FailureClass::kTransient: return "transient";
    case FailureClass::kPermanent: return "permanent";
    case FailureClass::kVerification: return "verification";
    case FailureClass::kTls: return "tls";
    case FailureClass::kLocal: return "local";
    case FailureClass::kChanged: return "changed";
  }
  return "";
}

}  // namespace app
