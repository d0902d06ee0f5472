#include "app/run/run_without_window.h"

#include <optional>
#include <vector>

#include "app/container/parsed_document.h"
#include "app/delivery/delivery.h"
#include "app/delivery/send_texts.h"
#include "app/error_display.h"
#include "app/run/command_line.h"
#include "app/run/site_client.h"
#include "app/run/start_up_settings.h"
#include "app/run/unattended_send.h"
#include "app/site/data_paths.h"
#include "app/site/settings.h"
#include "app/site/site_refresh.h"
#include "app/site/target_list.h"
#include "app/site/transfer_log.h"
#include "entity/char_to_entity_translator.h"
#include "platform/dialogs.h"
#include "xml/dom_implementation.h"
#include "xml/dom_parser.h"

namespace app {
namespace {

class WindowlessRun : public DeliveryEvents {
 public:
  WindowlessRun(const LaunchInfo& launch, std::function<std::string()> now, MailNote mailNote)
      : launch_(launch),
        mailNote_(mailNote),
        paths_(ApplicationFolder(launch.executableFolder), launch.appDirWritable),
        site_(SiteServerFromEnvironment()),
        now_(now),
        log_(std::move(now)) {
    ConfigureSiteClient(client_, site_, paths_);
    client_.OnError = [this](ftp::TSockSession&, std::uint16_t, const std::string& text) {
      ShowError(text);
      LogLine("--> Error: " + text);
    };
    client_.OnFailure = [this](bool&, ftp::TCmdType kind) {
      if (const char* text = RefusalStatus(kind)) status_ = text;
      LogLine(" --> Failure: " + status_);
    };
    client_.OnTransferNote = [this](const std::string& note) { LogLine(note); };
    parser_.setDOMImpl(&dom_);
    translator_.SetDictionaryFile(paths_.Resolve("lib/uml.ini"));
  }

  int Run() {
    try {
      return Steps();
    } catch (const std::exception& error) {
      ShowException(error);
      if (pastCommandLine_) reporter_.Write(1, error.what(), Container(), nullptr, {});
      return 1;
    }
  }

  void LogLine(const std::string& text) override {
    if (logging_) log_.WriteLine(text);
  }
  void Status(const std::string& text, bool) override { status_ = text; }
  void LogUnwritable(const std::string& reason) override { ShowError("The transfer log cannot be written: " + reason); }

 private:
  int Steps() {
    paths_.CreateWritableFolders();
    ReadStartUpSettings(paths_, settings_);
    line_ = ReadCommandLine(launch_.arguments);
    if (line_.usage)
      platform::Dialogs::Current().MessageBox(kUsage, "Information", platform::MessageIcon::kInformation);
    if (line_.error) throw ECommandLineError(*line_.error);
    if (!line_.unattended) {
      ShowError("Parcelo's window is not part of this program: name the targets with -t (see -?)");
      return 1;
    }
    pastCommandLine_ = true;
    reporter_.SetFile(line_.run.reportFile);
    logging_ = !line_.noLog;
    if (logging_) log_.Open(settings_.backupFolder, TransferLog::Header::kNone);
    if (line_.usage) return 0;
    if (!RefreshFromServer() || !ReadTargetList()) return 1;
    return Send();
  }

  std::string Container() const { return line_.container.value_or(""); }

  bool RefreshFromServer() {
    try {
      if (RefreshSiteFiles(client_, paths_, StartUpFiles()) != 0) status_ = "target list updated";
      return true;
    } catch (const std::exception& error) {
      CloseAfterError(client_);
      const std::string failure =
          "Error in FTP connection by getting the actual target and check lists: " + std::string(error.what());
      LogLine("! " + failure);
      ShowError(failure);
      reporter_.Write(1, failure, Container(), nullptr, {});
      return false;
    }
  }

  bool ReadTargetList() {
    try {
      const ParsedDocument list(parser_, paths_.Resolve("lib/ftpsend.xml"));
      ReadTargetRows(list.document(), targets_, [](const rTargetList&) {});
      return true;
    } catch (const std::exception& error) {
      ShowException(error);
      ShowError("Error by parsing target list");
      LogLine("! Error by parsing target list");
      reporter_.Write(1, error.what(), Container(), nullptr, {});
      return false;
    }
  }

  int Send() {
    const std::vector<std::size_t> rows = RowsNamed(targets_, line_.targetNames);
    const std::string unknown = NamesOfNoTarget(targets_, line_.targetNames);
    if (!unknown.empty()) ShowError(unknown);
    if (settings_.sendMail) {
      // The window's mail switch goes off for an unattended run, and stays off.
      StoreSettings([](platform::TRegistry& registry) { registry.WriteBool("SendEMail", false); });
      if (mailNote_ == MailNote::kNeedsTheWindow)
        platform::Dialogs::Current().MessageBox("No mail is prepared: the mail needs Parcelo's window", "Information",
                                                platform::MessageIcon::kInformation);
    }
    UnattendedSend send;
    send.unknownNames = !unknown.empty();
    send.container = Container();
    send.planned = PlannedTargets(targets_, rows, site_, send.container);
    try {
      Delivery delivery(Options(rows), *this);
      delivery.Run();
      send.report = delivery.Report();
    } catch (const std::exception& failure) {
      send.error = failure.what();
      LogLine("! " + send.error);
      ShowException(failure);
    }
    return FinishUnattendedSend(std::move(send), reporter_);
  }

  DeliveryOptions Options(const std::vector<std::size_t>& rows) const {
    DeliveryOptions options = SiteDeliveryOptions(client_, site_, paths_);
    options.container = Container();
    for (const std::size_t row : rows) options.targets.push_back(targets_[row]);
    options.rows = rows;
    options.backup = settings_.backup && !line_.noBackup;
    options.backupFolder = settings_.backupFolder;
    options.unattended = true;
    options.retry = line_.run.retry;
    options.parallel = line_.run.parallel.value_or(settings_.parallel);
    options.status = status_;
    options.translator = &translator_;
    options.now = now_;
    return options;
  }

  const LaunchInfo& launch_;
  MailNote mailNote_;
  DataPaths paths_;
  SiteServer site_;
  std::function<std::string()> now_;
  TransferLog log_;
  ftp::TFtpClient client_;
  entity::TCharToEntityTranslator translator_;
  xml::TDomImplementation dom_;
  xml::TDomParser parser_;
  StartUpSettings settings_;
  CommandLine line_;
  std::vector<rTargetList> targets_;
  RunReporter reporter_;
  std::string status_;
  bool logging_ = true;
  bool pastCommandLine_ = false;
};

}  // namespace

int RunWithoutWindow(const LaunchInfo& launch, std::function<std::string()> now, MailNote mailNote) {
  return WindowlessRun(launch, std::move(now), mailNote).Run();
}

}  // namespace app
