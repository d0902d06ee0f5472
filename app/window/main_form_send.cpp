#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <algorithm>

#include "app/delivery/send_texts.h"
#include "app/window/handler_guard.h"
#include "app/window/main_form.h"
#include "app/run/site_client.h"
#include "app/window/result_form.h"
#include "app/window/target_state_delegate.h"
#include "app/scope_exit.h"
#include "app/site/site_config.h"
#include "platform/dialogs.h"
#include "platform/locale_format.h"
#include "platform/qt_text.h"

namespace app {

// What the send shows in the window while it runs.
class TForm1::SendEvents : public DeliveryEvents {
 public:
  explicit SendEvents(TForm1& form) : form_(form) {}

  void LogLine(const std::string& text) override { form_.WriteLogLine(text); }
  void Status(const std::string& text, bool now) override {
    form_.SetStatusText(text, now ? Repaint::kNow : Repaint::kLater);
  }
  void StopAnimation() override { form_.StopAnimation(); }
  void TransferMode(bool text) override {
    if (!text) form_.SetSendMailChecked(false);
    form_.SendMail->setEnabled(text);
  }
  void TargetChanged(const TargetOutcome& outcome, TargetState state, int percent) override {
    form_.ShowTargetState(outcome, state, percent);
  }
  void UploadProgress(std::int64_t sent, std::int64_t size) override { form_.ShowUploadProgress(sent, size); }
  bool BackupProgress(std::uint64_t copied, std::uint64_t size) override {
    form_.ShowUploadProgress(static_cast<std::int64_t>(copied), copied < size ? static_cast<std::int64_t>(size) : -1);
    QCoreApplication::processEvents();
    return true;
  }
  void LogUnwritable(const std::string& reason) override {
    form_.SetStatusText("The transfer log cannot be written: " + reason, Repaint::kNow);
    if (!form_.launch_.display) ShowError("The transfer log cannot be written: " + reason);
  }

 private:
  TForm1& form_;
};

void TForm1::TargetListBoxDblClick() { SendContainer(); }

DeliveryOptions TForm1::SendOptions() const {
  DeliveryOptions options = SiteDeliveryOptions(FtpClient1, site_, dataPaths_);
  options.container = platform::FromQString(ContainerFile->text());
  for (int i = 0; i < TargetListBox->count(); ++i)
    if (TargetListBox->item(i)->isSelected()) {
      options.targets.push_back(Targets[static_cast<std::size_t>(i)]);
      options.rows.push_back(static_cast<std::size_t>(i));
    }
  options.backup = MenuBackup->isChecked();
  options.backupFolder = BackupFolder;
  options.unattended = Unattended;
  // The window retries nothing by itself: its result window offers it.
  options.retry = Unattended ? runOptions_.retry : RetryPolicy{0};
  options.parallel = runOptions_.parallel.value_or(Parallel);
  options.readRecipients = SendMail->isChecked();
  // Unattended there is nobody to ask: a key nobody knows is refused.
  if (!Unattended)
    options.trustHostKey = [](const std::string& host, const std::string& fingerprint) {
      return platform::Dialogs::Current().AskYesNo(
          "The host key of " + host + " is not known yet:\r" + fingerprint +
              "\r\rCompare it with the one the site gave you. Trust it and store it for the next sends?",
          "SSH host key");
    };
  options.status = statusText_;
  options.translator = &CETRans;
  options.now = platform::NowText;
  return options;
}

std::optional<DeliveryReport> TForm1::SendContainer() {
  if (busy_) return std::nullopt;  // a second start while a send runs is ignored
  StartAnimation(aviCopyFile);
  const ScopeExit stopAnimation([this] { StopAnimation(); });
  const BusyGuard busy = Busy();
  for (int i = 0; i < TargetListBox->count(); ++i) TargetListBox->item(i)->setData(TargetStateDelegate::kStateRole, {});
  SendEvents events(*this);
  Delivery delivery(SendOptions(), events);
  const bool reached = delivery.Run();
  const DeliveryReport& report = delivery.Report();
  // An interrupted program ends once its send has cleaned up.
  if (report.interruptedBy) RequestTermination(report.ExitCode());
  if (!reached) return report;
  ContainerIsText = report.containerIsText;
  lastSend_ = report;
  // The mail goes when the container reached somebody by FTP, or, in a
  // send to STOWA alone, when it was handed over.
  const bool anyFtp = std::any_of(report.targets.begin(), report.targets.end(),
                                  [](const TargetOutcome& t) { return !t.target.Stowa; });
  if (!report.interruptedBy && (report.AnyFtpDelivered() || (!anyFtp && report.Failed() < report.targets.size())))
    ComposeMail(report);
  SetStatusText(FinalStatus(report), Repaint::kLater);
  if (report.ExitCode() == 0) ContainerFile->clear();
  if (report.Failed() > 0 && !Unattended && !report.interruptedBy) ShowResults(report);
  return report;
}

bool TForm1::UploadProgressVisible() const { return !uploadProgress_->isHidden(); }

void TForm1::ShowUploadProgress(std::int64_t sent, std::int64_t size) {
  if (size < 0) {
    uploadProgress_->hide();
    return;
  }
  uploadProgress_->setValue(size > 0 ? static_cast<int>(sent * 1000 / size) : 1000);
  uploadProgress_->setFormat(
      QStringLiteral("%1 of %2 bytes").arg(QLocale().toString(qint64(sent)), QLocale().toString(qint64(size))));
  uploadProgress_->show();
}

void TForm1::ShowTargetState(const TargetOutcome& outcome, TargetState state, int percent) {
  QListWidgetItem* item = TargetListBox->item(static_cast<int>(outcome.row));
  if (!item) return;
  item->setData(TargetStateDelegate::kStateRole, platform::ToQString(TargetStateText(state, percent)));
  item->setToolTip(outcome.error ? platform::ToQString(outcome.error->text) : QString());
  TargetListBox->viewport()->update();
}

void TForm1::ShowResults(const DeliveryReport& report) {
  if (!resultForm_) {
    resultForm_ = new TResultForm(this, [this] { Guarded([this] { SendAgainToFailed(); }); });
  }
  resultForm_->Show(report);
}

void TForm1::SendAgainToFailed() {
  if (!lastSend_) return;
  TargetListBox->clearSelection();
  for (const TargetOutcome& outcome : lastSend_->targets)
    if (!outcome.GotIt()) TargetListBox->item(static_cast<int>(outcome.row))->setSelected(true);
  ContainerFile->setText(platform::ToQString(lastSend_->container));
  SendContainer();
}

}  // namespace app
