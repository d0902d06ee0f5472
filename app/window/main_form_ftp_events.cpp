#include <filesystem>

#include <QLineEdit>

#include "app/window/handler_guard.h"
#include "app/window/main_form.h"
#include "app/delivery/send_texts.h"
#include "app/run/site_client.h"
#include "platform/qt_text.h"

namespace app {

void TForm1::FtpClient1Error(ftp::TSockSession&, std::uint16_t, const std::string& Errmsg) {
  ShowError(Errmsg);
  WriteLogLine("--> Error: " + Errmsg);
}

// Handled stays false: the client raises after this, ending the FTP sequence.
void TForm1::FtpClient1Failure(bool&, ftp::TCmdType Trans_Type) {
  if (const char* text = RefusalStatus(Trans_Type)) SetStatusText(text, Repaint::kLater);
  SetStatusText(StatusText(), Repaint::kNow);
  WriteLogLine(" --> Failure: " + StatusText());
}

void TForm1::FtpClient1Success(ftp::TCmdType Trans_Type) {
  if (Trans_Type != ftp::ctUpload) return;
  SetStatusText("Upload success", Repaint::kLater);
  // The unprepared copy the preparation kept is no longer needed.
  std::error_code ignored;
  std::filesystem::remove(platform::FromQString(ContainerFile->text()) + ".bak", ignored);
}

void TForm1::CloseFtpAfterError() { CloseAfterError(FtpClient1); }

}  // namespace app
