#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace app {

// "get backup folder": asks for the folder that holds the backup copies and
// the transfer log.
class TOKRightDlg : public QDialog {
 public:
  TOKRightDlg(std::string executableFolder, QWidget* parent = nullptr);

  // Shows the dialog modally for `backupFolder`, which "OK" replaces (without
  // one trailing separator) and stores in the settings. True when closed with OK.
  bool Execute(std::string& backupFolder);

  QLineEdit* DirEdit = nullptr;
  QPushButton* BrowseButton = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

 protected:
  // Dialogs of this kind open in the middle of the screen.
  void showEvent(QShowEvent* event) override;

 private:
  void OKBtnClick();
  void BrowseClick();

  std::string executableFolder_;
  std::string* backupFolder_ = nullptr;
};

}  // namespace app
