#include <QAction>
#include <QLineEdit>

#include "app/run/command_line.h"
#include "app/window/main_form.h"
#include "platform/dialogs.h"
#include "platform/qt_text.h"

namespace app {

void TForm1::EvaluateCommandLine() {
  const CommandLine line = ReadCommandLine(launch_.arguments);
  if (line.container) ContainerFile->setText(platform::ToQString(*line.container));
  if (line.unattended) Unattended = true;
  TargetNames = line.targetNames;
  runOptions_ = line.run;
  reporter_.SetFile(line.run.reportFile);
  if (line.noBackup) MenuBackup->setChecked(false);
  if (line.noLog) LoggingOn = false;
  if (line.usage) {
    platform::Dialogs::Current().MessageBox(kUsage, "Information", platform::MessageIcon::kInformation);
    UsageShown = true;
    RequestTermination(0);
  }
  if (line.error) throw ECommandLineError(*line.error);
}

}  // namespace app
