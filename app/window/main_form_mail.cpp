#include <QCheckBox>

#include "app/window/main_form.h"

namespace app {

void TForm1::ComposeMail(const DeliveryReport& report) {
  SwitchAnimation(aviFindFile);
  std::string subject;
  if (ContainerIsText) {
    // The send read the container's fields and logged its number.
    SetStatusText("get information for log file and mail", Repaint::kNow);
    if (!report.ident.empty()) subject = "container no. " + report.ident + " was sent to FTP server";
  }
  if (!SendMail->isChecked()) return;
  SwitchAnimation(aviFindComputer);
  SetStatusText("generating mail", Repaint::kNow);
  std::string entries;
  for (const std::string& value : report.recipients) entries += value + ";";
  // The entries come from whoever made the container: only addresses reach the mail.
  const SortedRecipients recipients = SortRecipients(ContainerIsText ? entries : std::string());
  for (const std::string& entry : recipients.rejected) WriteLogLine("Not a mail address, left out of the mail: " + entry);
  MailClient.Connect();
  MailClient.DisplayMail(recipients.addresses, subject);
}

}  // namespace app
