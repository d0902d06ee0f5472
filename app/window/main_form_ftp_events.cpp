#include <filesystem>
#include <utility>

#include <QLineEdit>

#include "app/window/handler_guard.h"
#include "app/window/main_form.h"
#include "app/scope_exit.h"
#include "platform/qt_text.h"

namespace app {

void TForm1::FtpClient1Error(ftp::TSockSession&, std::uint16_t, const std::string& Errmsg) {
  ShowError(Errmsg);
  WriteLogLine("--> Error: " + Errmsg);
}

// Handled stays false: the client raises after this, ending the FTP sequence.
void TForm1::FtpClient1Failure(bool&, ftp::TCmdType Trans_Type) {
  switch (Trans_Type) {
    case ftp::ctChangeDir:
      SetStatusText("FTP: change directory failed", Repaint::kLater);
      break;
    case ftp::ctDownload:
      SetStatusText("FTP: Download file failed", Repaint::kLater);
      break;
    case ftp::ctUpload:
      SetStatusText("FTP: Upload container failed", Repaint::kLater);
      break;
    default:
      break;
  }
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

void TForm1::CloseFtpAfterError() {
  if (!FtpClient1.Connected) return;
  // The error that ended the sequence is reported already; a connection that
  // breaks again while it is being ended is part of it, not a second error.
  const ScopeExit restoreErrorEvent([this, reported = std::exchange(FtpClient1.OnError, nullptr)] {
    FtpClient1.OnError = reported;
  });
  try {
    FtpClient1.Disconnect();
  } catch (const std::exception&) {
    // A server that no longer answers QUIT: the socket is closed all the same.
  }
  if (FtpClient1.Connected) FtpClient1.CloseSocket();
}

}  // namespace app
