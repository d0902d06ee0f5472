#include <QAction>
#include <QCheckBox>
#include <QInputDialog>
#include <QLineEdit>
#include <filesystem>

#include "app/window/about_box.h"
#include "app/window/main_form.h"
#include "app/window/ok_right_dlg.h"
#include "app/window/read_me_form.h"
#include "app/site/settings.h"
#include "platform/dialogs.h"
#include "platform/qt_text.h"

namespace app {

void TForm1::Button3Click() {
  auto chosen = platform::Dialogs::Current().OpenFile(LastDir, kOpenDialogFilter);
  if (!chosen) return;
  ContainerFile->setText(platform::ToQString(*chosen));
  LastDir = std::filesystem::path(*chosen).parent_path().string() + "/";
  StoreSettings([&](platform::TRegistry& registry) { registry.WriteString("LastDir", LastDir); });
}

void TForm1::FileDropper3Drop(TFileDropper&, const std::string& path) {
  if (busy_) return;  // the container of a running send stays as it is
  ContainerFile->setText(platform::ToQString(path));
}

void TForm1::SendMailClick() {
  MenuSendMail->setChecked(SendMail->isChecked());
  StoreSettings([&](platform::TRegistry& registry) { registry.WriteBool("SendEMail", SendMail->isChecked()); });
}

void TForm1::MenuSendMailClick() { SetSendMailChecked(!SendMail->isChecked()); }

// A click on the checkable item has already inverted its check.
void TForm1::MenuBackupClick() {
  StoreSettings([&](platform::TRegistry& registry) { registry.WriteBool("Backup", MenuBackup->isChecked()); });
}

void TForm1::MenuParallelClick() {
  bool confirmed = false;
  const int chosen = QInputDialog::getInt(this, QStringLiteral("parallel sessions"),
                                          QStringLiteral("Targets sent at once (at most two to one server):"), Parallel,
                                          1, kMostParallel, 1, &confirmed);
  if (!confirmed) return;
  Parallel = chosen;
  StoreSettings([&](platform::TRegistry& registry) { registry.WriteInteger("Parallel", Parallel); });
}

void TForm1::backupfolder1Click() {
  if (!LoggingOn) return;
  if (!okRightDlg_->Execute(BackupFolder)) return;
  TransferLog_.Close();
  TransferLog_.Open(BackupFolder, TransferLog::Header::kWhenNew);
}

void TForm1::HelpContents1Execute() { ApplicationEventsHelp(HelpRequest::kTopic, "TOP1"); }

void TForm1::Help1Click() { ApplicationEventsHelp(HelpRequest::kContext, "0"); }

// Every help request of the program ends here, in the HTML manual beside the
// executable, at the anchor of the topic or context.
void TForm1::ApplicationEventsHelp(HelpRequest request, const std::string& data) {
  const std::string anchor = request == HelpRequest::kTopic ? data : "context-" + data;
  helpViewer_->Navigate(dataPaths_.Resolve("doc/help/index.html"));
  helpViewer_->ScrollToAnchor(anchor);
  helpViewer_->show();
  helpViewer_->raise();
}

void TForm1::ecumemClick() {
  ShowInViewer("ECU Memory Container in the Itranet", IntranetUrl);
}

void TForm1::ShowInViewer(const std::string& caption, const std::string& address) {
  const QString remembered = readMeForm_->windowTitle();
  readMeForm_->setWindowTitle(platform::ToQString(caption));
  readMeForm_->Navigate(address);
  readMeForm_->exec();
  readMeForm_->setWindowTitle(remembered);
}

// The file the start-up refresh writes: "Readme.html" (file names differ by case here).
void TForm1::Readme1Click() {
  readMeForm_->Navigate(dataPaths_.Resolve("doc/Readme.html"));
  readMeForm_->exec();
}

void TForm1::About1Click() { aboutBox_->show(); }

}  // namespace app
