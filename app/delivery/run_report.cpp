#include "app/delivery/run_report.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "app/delivery/delivery.h"
#include "app/file_system.h"
#include "app/local_files.h"
#include "app/local_time.h"
#include "app/path_text.h"
#include "platform/ansi.h"

namespace app {
namespace {

// The report's format; a script tells by it what it can read.
constexpr int kFormatVersion = 1;

// A JSON string of program text (Windows-1252), as UTF-8.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : platform::AnsiToUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string QuotedOrNull(const std::string& text) { return text.empty() ? "null" : Quoted(text); }

// ISO 8601 with the local offset: 2026-12-09T14:03:05+01:00.
std::string TimeText(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  const std::tm local = LocalTime(seconds);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return Quoted(text + UtcOffsetText(seconds));
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

std::string ErrorObject(const TargetOutcome& outcome) {
  if (!outcome.error) return "null";
  return std::string("{\"class\": ") + Quoted(FailureClassName(outcome.error->kind)) +
         ", \"reply\": " + QuotedOrNull(outcome.error->reply) + ", \"text\": " + Quoted(outcome.error->text) + "}";
}

std::string TargetObject(const TargetOutcome& t) {
  return std::string("    {\"short_name\": ") + Quoted(t.target.ShortName) + ", \"name\": " + Quoted(t.target.Name) +
         ", \"protocol\": " + Quoted(t.protocol) + ", \"host\": " + Quoted(t.host) +
         ", \"port\": " + std::to_string(t.port) + ", \"path\": " + Quoted(t.target.Path) +
         ", \"remote_name\": " + QuotedOrNull(t.remoteName) + ", \"temp_name\": " + QuotedOrNull(t.tempName) +
         ", \"mode\": " + (t.target.Stowa ? "null" : Quoted(t.textMode ? "ascii" : "binary")) +
         ", \"result\": " + Quoted(ResultName(t.result)) + ", \"attempts\": " + std::to_string(t.attempts) +
         ", \"bytes\": " + std::to_string(t.bytes) + ", \"verified\": " + QuotedOrNull(t.verifiedBy) +
         ", \"tls\": " + QuotedOrNull(t.tls) + ", \"seconds\": " + Seconds(t.seconds) +
         ", \"error\": " + ErrorObject(t) + "}";
}

}  // namespace

std::string RunReportJson(const RunRecord& record) {
  const DeliveryReport* delivery = record.delivery;
  const std::vector<TargetOutcome>& targets = delivery ? delivery->targets : record.planned;
  std::string json = "{\n  \"version\": " + std::to_string(kFormatVersion) + ",\n";
  json += "  \"container\": " + Quoted(record.container) + ",\n";
  json += "  \"bytes\": " + std::to_string(delivery ? delivery->bytes : 0) + ",\n";
  json += "  \"sha256\": " + QuotedOrNull(delivery ? delivery->sha256 : std::string()) + ",\n";
  json += "  \"started\": " + TimeText(record.started) + ",\n";
  json += "  \"finished\": " + TimeText(record.finished) + ",\n";
  json += "  \"exit_code\": " + std::to_string(record.exitCode) + ",\n";
  json += "  \"error\": " + QuotedOrNull(record.error) + ",\n";
  const bool backupDone = delivery && delivery->backupDone;
  json += std::string("  \"backup\": {\"done\": ") + (backupDone ? "true" : "false") +
          ", \"path\": " + QuotedOrNull(delivery ? delivery->backupPath : std::string()) +
          ", \"error\": " + QuotedOrNull(delivery ? delivery->backupError : std::string()) + "},\n";
  json += "  \"targets\": [";
  for (std::size_t i = 0; i < targets.size(); ++i) json += (i ? ",\n" : "\n") + TargetObject(targets[i]);
  return json + (targets.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void WriteRunReport(const std::string& path, const RunRecord& record) {
  const std::string json = RunReportJson(record);
  TemporaryFile file(PathOf(AbsolutePath(path)), "report");
  WriteAll(file.fd(), json.data(), json.size(), "Cannot write the report", path);
  file.Finish();
  if (!RenameReplacing(file.path(), path)) RaiseIo("Cannot write the report", path);
  file.Keep();
}

}  // namespace app
