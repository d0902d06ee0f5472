#include <QLabel>

#include "app/window/main_form.h"
#include "platform/qt_text.h"

namespace app {

void TForm1::WriteLogLine(const std::string& text) {
  if (LoggingOn) TransferLog_.WriteLine(text);
}

void TForm1::SetStatusText(const std::string& text, Repaint repaint) {
  statusText_ = text;
  statusPanel_->setText(platform::ToQString(text));
  // Some callers go on working without handling events; they want it seen now.
  if (repaint == Repaint::kNow) statusPanel_->repaint();
}

void TForm1::StartAnimation(TCommonAVI clip) {
  Animate1->SetCommonAVI(clip);
  Animate1->show();
  Animate1->SetActive(true);
}

void TForm1::StopAnimation() {
  Animate1->SetActive(false);
  Animate1->hide();
}

void TForm1::SwitchAnimation(TCommonAVI clip) {
  Animate1->SetActive(false);
  Animate1->SetCommonAVI(clip);
  Animate1->SetActive(true);
}

}  // namespace app
