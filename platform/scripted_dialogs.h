#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace platform {

// Dialogs for tests: records every box and picker it was asked for and
// answers as the test told it (Yes, and cancelled pickers, when told nothing).
class ScriptedDialogs : public Dialogs {
 public:
  struct Shown {
    enum Kind { kMessage, kQuestion, kOpenFile, kChooseFolder } kind;
    std::string text;     // message text, or the initial folder of a picker
    std::string caption;  // caption, or the filter of the open-file dialog
    MessageIcon icon = MessageIcon::kInformation;
  };

  void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  std::optional<std::string> OpenFile(const std::string& initialFolder, const std::string& filter) override;
  std::optional<std::string> ChooseFolder(const std::string& initialFolder) override;

  std::vector<Shown> shown;
  std::deque<bool> answers;                       // for AskYesNo
  std::deque<std::optional<std::string>> picks;   // for OpenFile and ChooseFolder
  // Runs while a box is "open", as the user could act during a modal box.
  std::function<void(const Shown&)> whileShown;

  // The texts of the message boxes shown so far, in order.
  std::vector<std::string> MessageTexts() const;

 private:
  void Record(Shown entry);
  std::optional<std::string> NextPick();
};

}  // namespace platform
