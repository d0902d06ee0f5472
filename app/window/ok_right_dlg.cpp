#include "app/window/ok_right_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/window/centre_on_screen.h"
#include "app/site/settings.h"
#include "platform/dialogs.h"
#include "platform/qt_text.h"

namespace app {

TOKRightDlg::TOKRightDlg(std::string executableFolder, QWidget* parent)
    : QDialog(parent), executableFolder_(std::move(executableFolder)) {
  setWindowTitle(QStringLiteral("get backup folder"));
  setModal(true);
  DirEdit = new QLineEdit(this);
  DirEdit->setMinimumWidth(320);
  BrowseButton = new QPushButton(QStringLiteral("..."), this);
  BrowseButton->setFixedWidth(28);
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);

  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(DirEdit, 1);
  folderRow->addWidget(BrowseButton);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel(QStringLiteral("backup folder"), this));
  column->addLayout(folderRow);
  column->addLayout(buttons);

  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(BrowseButton, &QPushButton::clicked, this, [this] { BrowseClick(); });
}

bool TOKRightDlg::Execute(std::string& backupFolder) {
  backupFolder_ = &backupFolder;
  const std::string shown = backupFolder.empty() ? executableFolder_ + "/" : backupFolder;
  DirEdit->setText(platform::ToQString(shown));
  const bool ok = exec() == QDialog::Accepted;
  backupFolder_ = nullptr;
  return ok;
}

void TOKRightDlg::OKBtnClick() {
  std::string folder = platform::FromQString(DirEdit->text());
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  *backupFolder_ = folder;
  StoreSettings([&](platform::TRegistry& registry) { registry.WriteString("BackupFolder", folder); });
  accept();
}

void TOKRightDlg::BrowseClick() {
  if (auto folder = platform::Dialogs::Current().ChooseFolder(platform::FromQString(DirEdit->text())))
    DirEdit->setText(platform::ToQString(*folder));
}

void TOKRightDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}

}  // namespace app
