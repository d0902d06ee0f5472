#include "app/window/main_form.h"

#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <iostream>

#include "app/delivery/run_report.h"
#include "app/delivery/send_texts.h"
#include "app/window/handler_guard.h"
#include "app/container/parsed_document.h"
#include "app/site/settings.h"
#include "app/site/site_refresh.h"
#include "app/site/target_list.h"
#include "platform/ansi.h"
#include "platform/dialogs.h"
#include "platform/qt_text.h"

namespace app {
namespace {

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return platform::ToQString(a).compare(platform::ToQString(b), Qt::CaseInsensitive) < 0;
}

}  // namespace

void TForm1::DownloadSiteFiles() {
  if (RefreshSiteFiles(FtpClient1, dataPaths_, StartUpFiles()) != 0)
    SetStatusText("target list updated", Repaint::kLater);
}

bool TForm1::RefreshFromServer() {
  std::string reason;  // the server's reply or the socket error
  bool tlsRefused = false;
  try {
    DownloadSiteFiles();
    return true;
  } catch (const std::exception& error) {
    reason = error.what();
    tlsRefused = dynamic_cast<const ftp::ETlsError*>(&error) != nullptr;
    CloseFtpAfterError();
  }
  const std::string failure = "Error in FTP connection by getting the actual target and check lists: " + reason;
  WriteLogLine("! " + failure);
  if (!launch_.arguments.empty()) {
    // Without a display the run's caller learns why from standard error.
    if (!launch_.display) ShowError(failure);
    if (Unattended) WriteRunReport(1, failure, nullptr);
    RequestTermination(1);
    return false;
  }
  // A refused certificate or server is for the user to see, not only the log.
  if (tlsRefused) ShowError(reason);
  ShowError("Error in FTP area");
  return true;
}


void TForm1::ReadTargetList() {
  TargetListBox->clear();
  try {
    {
      const ParsedDocument list(Parser, dataPaths_.Resolve("lib/ftpsend.xml"));
      ReadTargetRows(list.document(), Targets,
                     [this](const rTargetList& row) { TargetListBox->addItem(platform::ToQString(row.Name)); });
      IntranetUrl = FirstElementValue(list.document(), u"IntranetUrl");
      ListReadmeDate = FirstElementValue(list.document(), u"ReadmeDate");
      if (StoredReadmeDate != ListReadmeDate && !Unattended) RefreshReadme();
    }
    if (splash_) splash_->close();
  } catch (const std::exception& error) {
    if (splash_) splash_->close();
    ShowException(error);
    ShowError("Error by parsing target list");
    WriteLogLine("! Error by parsing target list");
    // The window stays open for the user; an unattended run ends, and a
    // script must learn that it failed.
    if (Unattended) {
      WriteRunReport(1, error.what(), nullptr);
      RequestTermination(1);
    }
    return;
  }
  if (Unattended) SendUnattended();
}

void TForm1::RefreshReadme() {
  try {
    RefreshSiteFiles(FtpClient1, dataPaths_, {ReadmeFile()});
  } catch (...) {
    CloseFtpAfterError();
    throw;
  }
  StoreSettings([&](platform::TRegistry& registry) { registry.WriteString("ReadmeDate", ListReadmeDate); });
  Readme1Click();
}

// Sends to the targets named by -t and ends the run: 0 when every one got
// the container, 2 when some did, 1 when none did, the run could not send,
// or a name matched no target. Each target's result goes to standard output.
void TForm1::SendUnattended() {
  std::sort(TargetNames.begin(), TargetNames.end(), LessIgnoringCase);
  for (int k = 0; k < TargetListBox->count(); ++k) {
    const std::string& shortName = Targets[static_cast<std::size_t>(k)].ShortName;
    if (std::binary_search(TargetNames.begin(), TargetNames.end(), shortName, LessIgnoringCase))
      TargetListBox->item(k)->setSelected(true);
  }
  const std::string unknown = NamesOfNoTarget();
  if (!unknown.empty()) ShowError(unknown);
  SetSendMailChecked(false);
  std::optional<DeliveryReport> report;
  std::string error;
  try {
    report = SendContainer();
  } catch (const std::exception& failure) {
    // The send's own reason, in the log and on the screen or standard error.
    error = failure.what();
    WriteLogLine("! " + error);
    ShowException(failure);
  }
  int exitCode = report ? report->ExitCode() : 1;
  if (!unknown.empty()) exitCode = 1;
  const bool reached = report && report->stopped.empty();
  if (report && !reached) error = report->stopped;
  WriteRunReport(exitCode, error, reached ? &*report : nullptr);
  for (const TargetOutcome& outcome : reached ? report->targets : PlannedTargets()) std::cout << platform::AnsiToUtf8(OutputLine(outcome)) << '\n';
  std::cout.flush();
  TargetNames.clear();
  RequestTermination(exitCode);
}

std::vector<TargetOutcome> TForm1::PlannedTargets() const {
  std::vector<TargetOutcome> planned;
  const std::string container = platform::FromQString(ContainerFile->text());
  for (int i = 0; i < TargetListBox->count(); ++i)
    if (TargetListBox->item(i)->isSelected())
      planned.push_back(PlannedOutcome(Targets[static_cast<std::size_t>(i)], static_cast<std::size_t>(i), site_, container));
  return planned;
}

void TForm1::WriteRunReport(int exitCode, const std::string& error, const DeliveryReport* delivery) {
  if (!runOptions_.reportFile) return;
  RunRecord record;
  record.container = platform::FromQString(ContainerFile->text());
  if (delivery) record.container = delivery->container;
  record.started = runStarted_;
  record.finished = std::chrono::system_clock::now();
  record.exitCode = exitCode;
  record.error = error;
  record.delivery = delivery;
  if (!delivery) record.planned = PlannedTargets();
  try {
    app::WriteRunReport(*runOptions_.reportFile, record);
  } catch (const std::exception& failure) {
    ShowException(failure);
  }
}

// One line for each name given with -t that no target has as its short name.
std::string TForm1::NamesOfNoTarget() const {
  std::string text;
  for (const std::string& name : TargetNames) {
    const bool known = std::any_of(Targets.begin(), Targets.end(), [&](const rTargetList& row) {
      return !LessIgnoringCase(name, row.ShortName) && !LessIgnoringCase(row.ShortName, name);
    });
    if (!known) text += (text.empty() ? "" : "\r") + std::string("No target has the short name \"") + name + "\"";
  }
  return text;
}

void TForm1::targetshortname1Click() {
  std::string text = "available targets: \rShortname ... Name\r";
  for (int k = 0; k < TargetListBox->count(); ++k) {
    const rTargetList& row = Targets[static_cast<std::size_t>(k)];
    std::string shortName = row.ShortName;
    if (shortName.size() < 10) shortName.append(10 - shortName.size(), '.');
    text += shortName + row.Name + "\r";
  }
  platform::Dialogs::Current().MessageBox(text, "Information", platform::MessageIcon::kInformation);
}

}  // namespace app
