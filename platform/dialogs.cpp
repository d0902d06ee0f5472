#include "platform/dialogs.h"

#include <iostream>

#include "platform/console_dialogs.h"

namespace platform {
namespace {

std::unique_ptr<Dialogs>& Installed() {
  static std::unique_ptr<Dialogs> dialogs = std::make_unique<ConsoleDialogs>(std::cerr);
  return dialogs;
}

}  // namespace

Dialogs& Dialogs::Current() { return *Installed(); }

std::unique_ptr<Dialogs> Dialogs::Install(std::unique_ptr<Dialogs> dialogs) {
  Installed().swap(dialogs);
  return dialogs;
}

}  // namespace platform
