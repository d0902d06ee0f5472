#pragma once

#include <QStringList>

#include "platform/dialogs.h"

namespace platform {

// The dialogs as Qt windows: modal, waiting for the user.
class QtDialogs : public Dialogs {
 public:
  void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  std::optional<std::string> OpenFile(const std::string& initialFolder, const std::string& filter) override;
  std::optional<std::string> ChooseFolder(const std::string& initialFolder) override;
};

// "Container file (*.cnt, *.ecu)|*.cnt; *.ecu|..." -> Qt name filters, one per
// pair, each "Description (pattern pattern)".
QStringList NameFiltersFromPairs(const std::string& filter);

}  // namespace platform
