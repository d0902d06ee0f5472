#include "app/window/main_form.h"

#include <QLineEdit>
#include <QListWidget>

#include "app/run/unattended_send.h"
#include "app/window/handler_guard.h"
#include "app/container/parsed_document.h"
#include "app/site/settings.h"
#include "app/site/site_refresh.h"
#include "app/site/target_list.h"
#include "platform/dialogs.h"
#include "platform/qt_text.h"

namespace app {

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

// Sends to the targets named by -t and ends the run with the send's exit code.
void TForm1::SendUnattended() {
  const std::vector<std::size_t> rows = RowsNamed(Targets, TargetNames);
  for (const std::size_t row : rows) TargetListBox->item(static_cast<int>(row))->setSelected(true);
  const std::string unknown = NamesOfNoTarget(Targets, TargetNames);
  if (!unknown.empty()) ShowError(unknown);
  SetSendMailChecked(false);
  UnattendedSend send;
  send.unknownNames = !unknown.empty();
  send.container = platform::FromQString(ContainerFile->text());
  send.planned = PlannedTargets();
  try {
    send.report = SendContainer();
  } catch (const std::exception& failure) {
    // The send's own reason, in the log and on the screen or standard error.
    send.error = failure.what();
    WriteLogLine("! " + send.error);
    ShowException(failure);
  }
  TargetNames.clear();
  RequestTermination(FinishUnattendedSend(std::move(send), reporter_));
}

std::vector<TargetOutcome> TForm1::PlannedTargets() const {
  std::vector<std::size_t> rows;
  for (int i = 0; i < TargetListBox->count(); ++i)
    if (TargetListBox->item(i)->isSelected()) rows.push_back(static_cast<std::size_t>(i));
  return app::PlannedTargets(Targets, rows, site_, platform::FromQString(ContainerFile->text()));
}

void TForm1::WriteRunReport(int exitCode, const std::string& error, const DeliveryReport* delivery) {
  reporter_.Write(exitCode, error, platform::FromQString(ContainerFile->text()), delivery, PlannedTargets());
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
