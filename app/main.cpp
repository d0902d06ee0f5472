#include <QApplication>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <utility>

#include "app/window/app_windows.h"
#include "app/command_line_info.h"
#include "app/local_files.h"
#include "app/run/run_without_window.h"
#include "app/run_options.h"
#include "app/site/data_paths.h"
#include "app/window/qt_message_filter.h"
#include "platform/console_dialogs.h"
#include "platform/event_loop.h"
#include "platform/locale_format.h"
#include "platform/program_start.h"
#include "platform/qt_dialogs.h"
#include "platform/qt_event_bridge.h"

namespace {

// Without a display (cron, scripts, CI) the program runs on Qt's offscreen
// platform and its boxes print to standard error and answer at once.
bool HasDisplay() {
  const char* platformName = std::getenv("QT_QPA_PLATFORM");
  if (platformName && std::string(platformName) == "offscreen") return false;
#ifdef _WIN32
  return true;  // a Windows session always has its desktop
#else
  return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
#endif
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  if (const auto information = app::CommandLineInformation(arguments)) {
    std::cout << *information;
    return 0;
  }
  app::InstallQtMessageFilter();
  // A run ended by its user or the system leaves no half-written file behind.
  app::RemoveTemporariesOnSignals();
  const bool display = HasDisplay();
  const bool unattended = std::any_of(arguments.begin(), arguments.end(), app::IsOption);
  const std::filesystem::path executableFolder = platform::ExecutableFolder();
  if (!display && unattended) {
    app::LaunchInfo launch{executableFolder, std::move(arguments), false,
                           app::CanWrite(app::ApplicationFolder(executableFolder))};
    return app::RunWithoutWindow(launch, platform::NowText, app::MailNote::kNone);
  }
  if (!display) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt sees only the program name, so no argument of ours is taken for one of its options.
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  QApplication::setApplicationName(QString::fromLatin1(app::kApplicationTitle));
  if (display) platform::Dialogs::Install(std::make_unique<platform::QtDialogs>());
  platform::QtEventBridge bridge(platform::EventLoop::Current());

  app::LaunchInfo launch{executableFolder, std::move(arguments), display,
                         app::CanWrite(app::ApplicationFolder(executableFolder))};
  app::AppWindows windows(launch);
  windows.form1->show();
  const int code = QApplication::exec();
  return windows.form1->TerminationRequested() ? windows.form1->ExitCode() : code;
}
