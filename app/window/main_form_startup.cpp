#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QSignalBlocker>
#include <QThread>
#include <algorithm>
#include <filesystem>

#include "app/site/data_paths.h"
#include "app/window/main_form.h"
#include "app/site/settings.h"
#include "app/window/handler_guard.h"

namespace app {
namespace {

// Reads one setting into its target. When the value is absent the default is
// applied and written (unless the store takes no writes); when the settings
// cannot be read at all (unreadable, or damaged and not to be set aside), the
// default serves this run and nothing is written over what is there.
void ReadSetting(const char* name, const std::function<void(platform::TRegistry&)>& read,
                 const std::function<void()>& applyDefault,
                 const std::function<void(platform::TRegistry&)>& writeDefault) {
  const bool opened = WithSettingsKey([&](platform::TRegistry& registry) {
    if (registry.ValueExists(name)) {
      read(registry);
      return;
    }
    applyDefault();
    WriteSettings(registry, writeDefault);
  });
  if (!opened) applyDefault();
}

}  // namespace

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
  ReadSetting(
      "ReadmeDate", [&](auto& registry) { StoredReadmeDate = registry.ReadString("ReadmeDate"); },
      [&] { StoredReadmeDate = "00.00.0000"; },
      [&](auto& registry) { registry.WriteString("ReadmeDate", StoredReadmeDate); });
  ReadSetting(
      "BackupFolder", [&](auto& registry) { BackupFolder = registry.ReadString("BackupFolder"); },
      [&] {
        BackupFolder = std::filesystem::absolute(dataPaths_.Writable("backup")).lexically_normal().string();
        std::error_code ignored;  // a folder that cannot be made shows when the log opens there
        std::filesystem::create_directories(BackupFolder, ignored);
      },
      [&](auto& registry) { registry.WriteString("BackupFolder", BackupFolder); });
  // The menu's design state (checked) is the default.
  ReadSetting(
      "Backup", [&](auto& registry) { MenuBackup->setChecked(registry.ReadBool("Backup")); }, [] {},
      [&](auto& registry) { registry.WriteBool("Backup", MenuBackup->isChecked()); });
  ReadSetting(
      "LastDir", [&](auto& registry) { LastDir = registry.ReadString("LastDir"); }, [&] { LastDir = AppDir; },
      [&](auto& registry) { registry.WriteString("LastDir", LastDir); });
  ReadSetting(
      "SendEMail", [&](auto& registry) { SendMailSetting = registry.ReadBool("SendEMail"); },
      [&] { SendMailSetting = SendMail->isChecked(); },
      [&](auto& registry) { registry.WriteBool("SendEMail", SendMailSetting); });
  // Not among the values every start writes: absent, the default serves.
  WithSettingsKey([&](platform::TRegistry& registry) {
    if (registry.ValueExists("Parallel")) Parallel = SessionsAtOnce(registry.ReadInteger("Parallel"));
  });
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
