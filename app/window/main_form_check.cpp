#include <QLineEdit>
#include <cstring>
#include <filesystem>
#include <future>
#include <unistd.h>

#include "app/window/main_form.h"
#include "app/scope_exit.h"
#include "checker/run_mmx.h"
#include "platform/event_loop.h"
#include "platform/qt_text.h"

namespace app {
namespace {

// Runs the checker beside the window, which keeps answering (and the
// animation playing) until the check is done.
int RunCheckerResponsively(const std::string& command) {
  auto result = std::async(std::launch::async, [command] { return RunMMx(command.c_str()); });
  auto& loop = platform::EventLoop::Current();
  while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
    loop.Wait(std::chrono::milliseconds(10));
    loop.ProcessMessages();
  }
  return result.get();
}

}  // namespace

std::string TForm1::CheckerCommand(const std::string& container, const CheckerFiles& files) {
  return " -X " + files.script + " -A catalog " + files.catalog + " -F sgm -S " + container + " -A errfile " +
         container + ".err" + " logfile " + container + "-log.html" + " html yes" + " rules " + files.rules;
}

void TForm1::ckContainerClick() {
  if (busy_) return;
  const BusyGuard busy = Busy();
  SetStatusText("checking ECU Memory Container", Repaint::kNow);
  StartAnimation(aviFindFile);
  const ScopeExit stopAnimation([this] { StopAnimation(); });
  // The checker finds its script, catalog and rules relative to AppDir (or to
  // the user's own data folder where AppDir is not writable), and so do later
  // relative container paths.
  const std::string folder = dataPaths_.WritableFolder().string();
  if (chdir(folder.c_str()) != 0)
    throw EInOutError("Cannot make \"" + folder + "\" the working folder: " + std::strerror(errno));
  dataPaths_.CompleteOwnFolder("dtd");
  CheckerFiles files;
  for (std::string* file : {&files.script, &files.catalog, &files.rules}) *file = dataPaths_.FromWritableFolder(*file);
  const std::string container = platform::FromQString(ContainerFile->text());
  const int result = RunCheckerResponsively(CheckerCommand(container, files));
  StopAnimation();
  SetStatusText("ECU Memory Container checked", Repaint::kNow);
  if (result != 0) return;
  const std::string name = std::filesystem::path(container).filename().string();
  ShowInViewer("Logfile of " + name, std::filesystem::absolute(container + "-log.html").string());
}

}  // namespace app
