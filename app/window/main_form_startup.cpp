#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QSignalBlocker>
#include <QThread>
#include <algorithm>
#include <filesystem>

#include "app/site/data_paths.h"
#include "app/run/start_up_settings.h"
#include "app/scope_exit.h"
#include "app/window/main_form.h"
#include "app/site/settings.h"
#include "app/window/handler_guard.h"

namespace app {

void TForm1::FormActivate() {
  if (!FirstActivation) return;
  AppDir = dataPaths_.AppFolder().string();
  // Cleared before anything can show a box: the activations that boxes cause
  // must not start this step again.
  FirstActivation = false;
  try {
    RunStartUp();
  } catch (const std::exception& error) {
    if (splash_) splash_->close();
    ShowException(error);
    // Without a display nobody could act on the window, and an unattended
    // run (one with an option, even before they were read) ends by itself:
    // its exit code says that it failed.
    const bool unattended = std::any_of(launch_.arguments.begin(), launch_.arguments.end(), IsOption);
    if (!launch_.display || unattended) {
      if (pastCommandLine_) WriteRunReport(1, error.what(), nullptr);
      RequestTermination(1);
    }
  }
}

void TForm1::RunStartUp() {
  LoggingOn = true;
  dataPaths_.CreateWritableFolders();
  ReadSettings();
  ApplySendMailSetting();
  UsageShown = false;
  TargetNames.clear();
  EvaluateCommandLine();
  pastCommandLine_ = true;
  if (LoggingOn) OpenTransferLog();
  // After the usage text the program only waits to end; the splash stays.
  if (UsageShown) return;
  if (!RefreshFromServer()) return;
  ReadTargetList();
}

void TForm1::ReadSettings() {
  StartUpSettings settings;
  settings.backup = MenuBackup->isChecked();
  settings.sendMail = SendMail->isChecked();
  // What was read before a value that cannot be read still serves.
  const ScopeExit apply([&] {
    StoredReadmeDate = settings.readmeDate;
    BackupFolder = settings.backupFolder;
    MenuBackup->setChecked(settings.backup);
    LastDir = settings.lastDir;
    SendMailSetting = settings.sendMail;
    Parallel = settings.parallel;
  });
  ReadStartUpSettings(dataPaths_, settings);
}

void TForm1::ApplySendMailSetting() { SetSendMailChecked(SendMailSetting); }

void TForm1::SetSendMailChecked(bool checked) {
  if (SendMail->isChecked() == checked) return;
  {
    const QSignalBlocker quiet(SendMail);
    SendMail->setChecked(checked);
  }
  // The program's own change runs the box's change handling, as a click would;
  // its errors reach the caller.
  SendMailClick();
}

void TForm1::OpenTransferLog() { TransferLog_.Open(BackupFolder, TransferLog::Header::kNone); }

void TForm1::Button1Click() { RequestTermination(0); }

void TForm1::RequestTermination(int exitCode) {
  terminationRequested_ = true;
  exitCode_ = exitCode;
  // Queued on this window, so the request dies with it. Outside any running
  // loop an exit would end nothing and only make every later loop (a modal
  // box's) return at once, so then it is dropped.
  QMetaObject::invokeMethod(
      this,
      [exitCode] {
        if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(exitCode);
      },
      Qt::QueuedConnection);
}

void TForm1::FormDestroy() {
  if (LoggingOn) TransferLog_.Close();
}

}  // namespace app
