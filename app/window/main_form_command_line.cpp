#include <QAction>
#include <QLineEdit>
#include <filesystem>

#include "app/ascii_case.h"
#include "app/window/main_form.h"
#include "platform/dialogs.h"
#include "platform/qt_text.h"

namespace app {
namespace {

constexpr const char* kUsage =
    "Aufruf: Parcelo [filename] [-nolog] [-nobackup] [-t target] [-t target ...] \r"
    "   filename :  name of the container file\r"
    "   nolog    :  no loggin of transfer\r"
    "   nobackup :  no backup of the container will generate\r"
    "   target   :  name of the target";

}  // namespace

void TForm1::EvaluateCommandLine() {
  for (std::size_t j = 0; j < launch_.arguments.size(); ++j) {
    const std::string& argument = launch_.arguments[j];
    if (IsOption(argument)) {
      HandleOption(j);
    } else {
      const auto full = std::filesystem::absolute(argument).lexically_normal();
      ContainerFile->setText(platform::ToQString(full.string()));
    }
  }
}

void TForm1::HandleOption(std::size_t& j) {
  const auto& arguments = launch_.arguments;
  const auto at = [&](std::size_t index) { return index < arguments.size() ? arguments[index] : std::string(); };
  Unattended = true;
  if (at(j) == "?" || at(j) == "-?") {
    platform::Dialogs::Current().MessageBox(kUsage, "Information", platform::MessageIcon::kInformation);
    UsageShown = true;
    RequestTermination(0);
  }
  if (AsciiUpper(at(j)) == "-T") {
    TargetNames.push_back(at(j + 1));
    ++j;
  } else if (TakeRunOption(arguments, j, runOptions_)) {
    return;
  }
  // These look at the argument after -T too: a target name is also an option here.
  if (AsciiUpper(at(j)) == "-NOBACKUP") MenuBackup->setChecked(false);
  if (AsciiUpper(at(j)) == "-NOLOG") LoggingOn = false;
}

}  // namespace app
