#pragma once

#include <ostream>

#include "platform/dialogs.h"

namespace platform {

// Dialogs for a machine without a display (cron, scripts): every box is
// printed to the stream and answered at once with OK / Yes; pickers cancel.
class ConsoleDialogs : public Dialogs {
 public:
  explicit ConsoleDialogs(std::ostream& out);

  void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  std::optional<std::string> OpenFile(const std::string& initialFolder, const std::string& filter) override;
  std::optional<std::string> ChooseFolder(const std::string& initialFolder) override;

 private:
  std::ostream& out_;
};

}  // namespace platform
