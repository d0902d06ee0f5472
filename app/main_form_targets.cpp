#include "app/main_form.h"
#include "platform/dialogs.h"

namespace app {
namespace {

constexpr const char* kSiteDirectory = "../../../k3/fab/cae";

}  // namespace

void TForm1::DownloadSiteFiles() {
  FtpClient1.Connect();
  FtpClient1.ChangeDirectory(kSiteDirectory);
  FtpClient1.SetTransferMode(ftp::tmAscii);
  FtpClient1.Download("ftpsend.xml", AppDir + "/lib/ftpsend.xml");
  FtpClient1.Download("checkit.mck", AppDir + "/lib/checkit.mck");
  FtpClient1.Download("ecum0102.DTD", AppDir + "/dtd/ecum0102.dtd");
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

}  // namespace app
