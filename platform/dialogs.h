#pragma once

#include <memory>
#include <optional>
#include <string>

// windows.h (here through the socket headers) names MessageBoxA or
// MessageBoxW by this macro, which would rename the method below in some
// files and not in others.
#undef MessageBox

namespace platform {

enum class MessageIcon { kError, kInformation, kWarning, kQuestion };

// The user-facing boxes and pickers of the program. Texts are 8-bit and keep
// their single carriage returns as line separators; only a graphical
// implementation turns them into line breaks. Three implementations exist:
// Qt windows, the console (when there is no display: prints and answers at
// once) and a scripted one for tests.
class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A modal box with one OK button; returns when it was closed.
  virtual void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
  // A modal Yes/No question; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
  // The open-file dialog; `filter` is "Description|patterns|Description|patterns..."
  // with patterns separated by ";". Empty when the user cancelled.
  virtual std::optional<std::string> OpenFile(const std::string& initialFolder, const std::string& filter) = 0;
  // The folder picker; empty when the user cancelled.
  virtual std::optional<std::string> ChooseFolder(const std::string& initialFolder) = 0;

  // The process's dialogs; console dialogs until another implementation is installed.
  static Dialogs& Current();
  // Installs `dialogs` and returns the previous implementation.
  static std::unique_ptr<Dialogs> Install(std::unique_ptr<Dialogs> dialogs);
};

}  // namespace platform
