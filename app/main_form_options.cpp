#include <QAction>
#include <QCheckBox>

#include "app/main_form.h"
#include "app/settings.h"

namespace app {

void TForm1::SendMailClick() {
  MenuSendMail->setChecked(SendMail->isChecked());
  WithSettingsKey([&](platform::TRegistry& registry) { registry.WriteBool("SendEMail", SendMail->isChecked()); });
}

}  // namespace app
