#include "app/error_display.h"

#include "app/launch_info.h"
#include "platform/dialogs.h"

namespace app {

void ShowException(const std::exception& error) {
  platform::Dialogs::Current().MessageBox(error.what(), kApplicationTitle, platform::MessageIcon::kError);
}

void ShowError(const std::string& text) {
  platform::Dialogs::Current().MessageBox(text, "Error", platform::MessageIcon::kError);
}

}  // namespace app
