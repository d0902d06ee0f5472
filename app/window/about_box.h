#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace app {

// The about window: icon, product name, version, copyright and what the
// program is for. Shown without being modal; "OK" hides it.
class TAboutBox : public QDialog {
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QLabel* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Copyright = nullptr;
  QLabel* Comments = nullptr;
  QPushButton* OKButton = nullptr;

 protected:
  // Dialogs of this kind open in the middle of the screen.
  void showEvent(QShowEvent* event) override;
};

}  // namespace app
