#include <glob.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <filesystem>

#include "app/ascii_case.h"
#include "app/container/container_preparer.h"
#include "app/window/handler_guard.h"
#include "app/window/main_form.h"
#include "app/container/parsed_document.h"
#include "app/container/remote_name.h"
#include "app/scope_exit.h"
#include "app/workflow_errors.h"
#include "app/site/site_config.h"
#include "ftp/net_address.h"
#include "platform/file_version.h"
#include "platform/locale_format.h"
#include "platform/qt_text.h"
#include "platform/shell.h"

namespace app {
namespace {

// Whether a directory search finds anything under the name: a file, a folder,
// or files a wildcard pattern matches. As in the Windows directory search,
// only "*" and "?" are wildcards; "[", "]" and "\\" are part of the name.
bool NameExists(const std::string& name) {
  std::string pattern;
  for (char c : name) {
    if (c == '[' || c == ']' || c == '\\') pattern += '\\';
    pattern += c;
  }
  glob_t found{};
  const bool exists = glob(pattern.c_str(), GLOB_NOSORT, nullptr, &found) == 0 && found.gl_pathc > 0;
  globfree(&found);
  return exists;
}

std::string ExpandedPath(const std::string& path) {
  return std::filesystem::absolute(path).lexically_normal().string();
}

// Containers with these extensions are text and go in ASCII mode; anything
// else goes byte for byte.
bool IsTextContainer(const std::string& container) {
  const std::string name = std::filesystem::path(container).filename().string();
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = AsciiUpper(name.substr(dot));
  for (const char* text : {".CNT", ".SGM", ".ECU", ".MEM", ".SGML", ".XML"})
    if (extension == text) return true;
  return false;
}

}  // namespace

void TForm1::TargetListBoxDblClick() { SendContainer(); }

bool TForm1::SendContainer() {
  if (busy_) return false;  // a second start while a send runs is ignored
  StartAnimation(aviCopyFile);
  const ScopeExit stopAnimation([this] { StopAnimation(); });
  const BusyGuard busy = Busy();
  const std::string container = platform::FromQString(ContainerFile->text());
  if (container.empty()) {
    ShowError("No file selected");
    return false;
  }
  if (!NameExists(container)) {
    ShowError("Sorce file does not exist. \r\rTerminate program.");
    WriteLogLine("Container file does not exist. Abort!");
    throw ECopyError("Files does not exist.");
  }
  const bool targetSelected = !TargetListBox->selectedItems().isEmpty();
  // Unattended, a container that will go nowhere is not rewritten.
  if (targetSelected || !Unattended) PrepareContainer();
  WriteLogLine("");
  WriteLogLine(std::string("Parcelo Version ") + platform::kFileVersion);
  if (!targetSelected) {
    ShowError("No target selected");
    return false;
  }
  if (MenuBackup->isChecked()) CheckBackupTarget(container);
  WriteLogLine("connect: " + platform::NowText());
  for (int i = 0; i < TargetListBox->count(); ++i)
    if (TargetListBox->item(i)->isSelected()) SendToTarget(Targets[static_cast<std::size_t>(i)], container);
  if (MenuBackup->isChecked()) FileCopy.Execute();
  ComposeMail();
  SetStatusText("finished", Repaint::kLater);
  ContainerFile->clear();
  return true;
}

void TForm1::PrepareContainer() {
  ContainerPreparer(CETRans).Prepare(platform::FromQString(ContainerFile->text()));
}

void TForm1::CheckBackupTarget(const std::string& container) {
  const std::string source = ExpandedPath(container);
  const std::string destination =
      ExpandedPath(BackupFolder + "/" + std::filesystem::path(container).filename().string());
  if (AsciiUpper(source) == AsciiUpper(destination)) {
    StopAnimation();
    ShowError("Target file and source file are identical,\rplease change the backup folder.\r\r!! TRANSFER ABORT !!");
    WriteLogLine("transfer abort: " + platform::NowText());
    WriteLogLine("source file: " + source);
    throw ECopyError("Files are identical");
  }
  FileCopy.FilesFrom = {source};
  FileCopy.FilesTo = {destination};
}

void TForm1::SendToTarget(const rTargetList& row, const std::string& container) {
  WriteLogLine("target: " + row.Name);
  WriteLogLine("target path: " + row.Path);
  WriteLogLine(row.Compress ? "compression: yes" : "compression: no");
  if (row.Stowa)
    HandOverToStowa(container);
  else
    UploadToTarget(row, container);
}

void TForm1::HandOverToStowa(const std::string& container) {
  StowaCheckinUrl = BuildStowaUrl();
  WriteLogLine("Send container to STOWA");
  WriteLogLine("URL: " + StowaCheckinUrl);
  // The path goes into the address as it is; the browser runs beside us.
  platform::StartProgram(platform::SystemBrowser(), StowaCheckinUrl + container, false);
  WriteLogLine("SourceFile: " + container);
  ContainerIsText = true;
}

void TForm1::UploadToTarget(const rTargetList& row, const std::string& container) {
  try {
    const ftp::THostAndPort server = ftp::SplitHostPort(row.FtpAddress, targetPort_);
    FtpClient1.Host = server.host;
    FtpClient1.Port = server.port;
    FtpClient1.Passive = row.Passive;
    FtpClient1.TlsMode = row.Tls.value_or(ftp::TTlsMode::None);
    FtpClient1.Connect();
    if (FtpClient1.TlsActive()) WriteLogLine(FtpClient1.TlsDescription());
    FtpClient1.ChangeDirectory(row.Path);
    if (IsTextContainer(container)) {
      FtpClient1.SetTransferMode(ftp::tmAscii);
      SetStatusText("send in ASCII mode", Repaint::kNow);
      WriteLogLine("Set FTPMode to ASCII");
      ContainerIsText = true;
      SendMail->setEnabled(true);
    } else {
      FtpClient1.SetTransferMode(ftp::tmLocal8);
      SetStatusText("send in BINARY mode", Repaint::kNow);
      WriteLogLine("Set FTPMode to BINARY");
      ContainerIsText = false;
      SetSendMailChecked(false);
      SendMail->setEnabled(false);
    }
    const std::string remote = BuildRemoteName();
    WriteLogLine("SourceFile: " + container);
    WriteLogLine("TargetFile: " + remote);
    const ScopeExit hideProgress([this] { uploadProgress_->hide(); });
    FtpClient1.Upload(container, remote);
    FtpClient1.Disconnect();
  } catch (const ftp::ETlsError& error) {
    // The socket layer reports its own errors to the log; the TLS layer's
    // reach it here.
    WriteLogLine(std::string("--> Error: ") + error.what());
    CloseFtpAfterError();
    throw;
  } catch (...) {
    CloseFtpAfterError();
    throw;
  }
}

std::string TForm1::BuildRemoteName() {
  const ParsedDocument parsed(Parser2, platform::FromQString(ContainerFile->text()));
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return RemoteName(parsed.document(), local);
}

bool TForm1::UploadProgressVisible() const { return !uploadProgress_->isHidden(); }

void TForm1::ShowUploadProgress(std::int64_t sent) {
  const std::int64_t size = FtpClient1.TransferSize;
  uploadProgress_->setValue(size > 0 ? static_cast<int>(sent * 1000 / size) : 1000);
  uploadProgress_->setFormat(
      QStringLiteral("%1 of %2 bytes").arg(QLocale().toString(sent), QLocale().toString(size)));
  uploadProgress_->show();
}

}  // namespace app
