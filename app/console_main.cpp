#include <iostream>
#include <utility>

#include "app/command_line_info.h"
#include "app/local_files.h"
#include "app/run/run_without_window.h"
#include "app/site/data_paths.h"
#include "platform/event_loop.h"
#include "platform/now_text.h"
#include "platform/program_start.h"

// The command-line program: the unattended run of the window's program,
// without the window. Messages go to standard error.
int main(int argc, char** argv) {
  std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  if (const auto information = app::CommandLineInformation(arguments)) {
    std::cout << *information;
    return 0;
  }
  // The main thread's loop ends before the program does.
  const platform::EventLoop::Scope loop;
  // A run ended by its user or the system leaves no half-written file behind.
  app::RemoveTemporariesOnSignals();
  const std::filesystem::path executableFolder = platform::ExecutableFolder();
  const app::LaunchInfo launch{executableFolder, std::move(arguments), false,
                               app::CanWrite(app::ApplicationFolder(executableFolder))};
  return app::RunWithoutWindow(launch, platform::NowText, app::MailNote::kNeedsTheWindow);
}
