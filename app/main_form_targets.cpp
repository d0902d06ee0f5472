#include "app/main_form.h"

#include <QListWidget>
#include <algorithm>

#include "app/handler_guard.h"
#include "app/parsed_document.h"
#include "app/settings.h"
#include "app/target_list.h"
#include "platform/dialogs.h"
#include "platform/qt_text.h"

namespace app {
namespace {

constexpr const char* kSiteDirectory = "../../../k3/fab/cae";

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return platform::ToQString(a).compare(platform::ToQString(b), Qt::CaseInsensitive) < 0;
}

}  // namespace

void TForm1::DownloadSiteFiles() {
  FtpClient1.Connect();
  FtpClient1.ChangeDirectory(kSiteDirectory);
  FtpClient1.SetTransferMode(ftp::tmAscii);
  FtpClient1.Download("ftpsend.xml", dataPaths_.Writable("lib/ftpsend.xml"));
  FtpClient1.Download("checkit.mck", dataPaths_.Writable("lib/checkit.mck"));
  FtpClient1.Download("ecum0102.DTD", dataPaths_.Writable("dtd/ecum0102.dtd"));
  if (FtpClient1.BytesReceived() != 0) SetStatusText("target list updated", Repaint::kLater);
  FtpClient1.Disconnect();
}

bool TForm1::RefreshFromServer() {
  try {
    DownloadSiteFiles();
    return true;
  } catch (const std::exception&) {
    CloseFtpAfterError();
  }
  WriteLogLine("! Error in FTP connection by getting the actual target and check lists");
  if (!launch_.arguments.empty()) {
    RequestTermination(1);
    return false;
  }
  platform::Dialogs::Current().MessageBox("Error in FTP area", "Error", platform::MessageIcon::kError);
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
    if (Unattended) SendUnattended();
  } catch (const std::exception& error) {
    ShowException(error);
    platform::Dialogs::Current().MessageBox("Error by parsing target list", "Error", platform::MessageIcon::kError);
    WriteLogLine("! Error by parsing target list");
    // The window stays open for the user; without a display there is none,
    // and a script must learn that the run failed.
    if (Unattended && !launch_.display) RequestTermination(1);
  }
}

void TForm1::RefreshReadme() {
  try {
    FtpClient1.Connect();
    FtpClient1.ChangeDirectory(kSiteDirectory);
    FtpClient1.SetTransferMode(ftp::tmAscii);
    FtpClient1.Download("Readme.html", dataPaths_.Writable("doc/Readme.html"));
    FtpClient1.Disconnect();
  } catch (...) {
    CloseFtpAfterError();
    throw;
  }
  StoreSettings([&](platform::TRegistry& registry) { registry.WriteString("ReadmeDate", ListReadmeDate); });
  Readme1Click();
}

void TForm1::SendUnattended() {
  std::sort(TargetNames.begin(), TargetNames.end(), LessIgnoringCase);
  for (int k = 0; k < TargetListBox->count(); ++k) {
    const std::string& shortName = Targets[static_cast<std::size_t>(k)].ShortName;
    if (std::binary_search(TargetNames.begin(), TargetNames.end(), shortName, LessIgnoringCase))
      TargetListBox->item(k)->setSelected(true);
  }
  SetSendMailChecked(false);
  TargetListBoxDblClick();
  TargetNames.clear();
  RequestTermination(0);
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
