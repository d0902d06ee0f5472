#include "checker/run_mmx.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <exception>

#include "checker/container_check.h"
#include "checker/mmx_command.h"
#include "checker/report_writer.h"

namespace {

void IgnoreMessage(void*, const char*, ...) {}

// libxml2 prints what no handler takes (catalog loading, for one) to stderr;
// the checker reports in its log and must not write into the caller's
// console. The caller's handler is restored afterwards.
class QuietLibxml {
 public:
  QuietLibxml() : handler_(xmlGenericError), context_(xmlGenericErrorContext) {
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, &IgnoreMessage);
  }
  ~QuietLibxml() { xmlSetGenericErrorFunc(context_, handler_); }
  QuietLibxml(const QuietLibxml&) = delete;
  QuietLibxml& operator=(const QuietLibxml&) = delete;

 private:
  xmlGenericErrorFunc handler_;
  void* context_;
};

}  // namespace

#ifdef _WIN32
#define MMX_EXPORT __declspec(dllexport)
#else
#define MMX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" MMX_EXPORT int RunMMx(const char* command) {
  try {
    if (command == nullptr) return kMmxNoLogFile;
    const mmx::MmxCommand options = mmx::ParseMmxCommand(command);
    if (options.logfile.empty()) return kMmxNoLogFile;

    const QuietLibxml quiet;
    mmx::CheckReport report = mmx::CheckContainer(options);
    if (!options.errfile.empty()) {
      try {
        mmx::WriteErrFile(options.errfile, report);
      } catch (const std::exception& error) {
        report.findings.Add({mmx::Severity::kError, mmx::Origin::kSetup, 0, error.what()});
      }
    }
    if (options.html) {
      mmx::WriteHtmlLog(options.logfile, report);
    } else {
      mmx::WriteErrFile(options.logfile, report);
    }
    return 0;
  } catch (...) {
    // Nothing may escape into the calling program; no log is the answer.
    return kMmxLogNotWritten;
  }
}
