#include "app/window/about_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/window/app_icon.h"
#include "app/window/centre_on_screen.h"
#include "platform/file_version.h"

namespace app {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Parcelo"));
  ProgramIcon = new QLabel(this);
  ProgramIcon->setPixmap(ParceloIcon().pixmap(48, 48));
  ProductName = new QLabel(QStringLiteral("Parcelo"), this);
  QFont bold = ProductName->font();
  bold.setBold(true);
  bold.setPixelSize(16);
  ProductName->setFont(bold);
  Version = new QLabel(QStringLiteral("Version %1").arg(QLatin1String(platform::kFileVersion)), this);
  Copyright = new QLabel(QStringLiteral("Copyright \u00A9 2026 Korvath"), this);
  Comments = new QLabel(
      QStringLiteral("Parcelo hands ECU memory containers over to the receiving plants and development "
                     "sites by FTP or to the PDM system, with a log, a backup copy and a notification mail."),
      this);
  Comments->setWordWrap(true);
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setDefault(true);

  auto* grid = new QGridLayout(this);
  grid->addWidget(ProgramIcon, 0, 0, 3, 1, Qt::AlignTop);
  grid->addWidget(ProductName, 0, 1);
  grid->addWidget(Version, 1, 1);
  grid->addWidget(Copyright, 2, 1);
  grid->addWidget(Comments, 3, 0, 1, 2);
  grid->addWidget(OKButton, 4, 0, 1, 2, Qt::AlignHCenter);
  setFixedWidth(340);
  connect(OKButton, &QPushButton::clicked, this, &QWidget::hide);
}

void TAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}

}  // namespace app
