#include <QCheckBox>
#include <QLineEdit>
#include <optional>

#include "app/container/container_fields.h"
#include "app/window/main_form.h"
#include "app/container/parsed_document.h"
#include "platform/qt_text.h"
#include "xml/dom.h"

namespace app {
namespace {

// "<ecu-ident>-<sw-ident>", or empty when the container lacks either.
std::string ReadContainerIdent(xml::TDomDocument& container) {
  ContainerFieldSearch search(container);
  if (!search.FindProjectInfo()) return {};
  search.EnterProjectInfo();
  if (!search.FindForward("ecu-ident")) return {};
  const std::string ecu = search.CurrentValue();
  if (!search.FindForward("sw-ident")) return {};
  return ecu + "-" + search.CurrentValue();
}

// The values of every EMAIL element below the root, each followed by ";".
std::string Recipients(xml::TDomDocument& container) {
  std::string recipients;
  xml::TDomNodeList* addresses = container.documentElement()->getElementsByTagName(u"EMAIL");
  for (int i = 0; i < addresses->length(); ++i) recipients += ElementValue(*addresses->item(i)) + ";";
  return recipients;
}

}  // namespace

void TForm1::ComposeMail() {
  SwitchAnimation(aviFindFile);
  std::string subject;
  std::optional<ParsedDocument> parsed;
  if (ContainerIsText) {
    SetStatusText("get information for log file and mail", Repaint::kNow);
    parsed.emplace(Parser2, platform::FromQString(ContainerFile->text()));
    const std::string ident = ReadContainerIdent(parsed->document());
    if (!ident.empty()) {
      subject = "container no. " + ident + " was sent to FTP server";
      WriteLogLine("container no.: " + ident);
    }
  }
  if (!SendMail->isChecked()) return;
  SwitchAnimation(aviFindComputer);
  SetStatusText("generating mail", Repaint::kNow);
  // The entries come from whoever made the container: only addresses reach the mail.
  const SortedRecipients recipients = SortRecipients(parsed ? Recipients(parsed->document()) : std::string());
  for (const std::string& entry : recipients.rejected) WriteLogLine("Not a mail address, left out of the mail: " + entry);
  MailClient.Connect();
  MailClient.DisplayMail(recipients.addresses, subject);
}

}  // namespace app
