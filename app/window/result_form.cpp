#include "app/window/result_form.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/delivery/delivery.h"
#include "platform/qt_text.h"

namespace app {
namespace {

QString Text(const std::string& text) { return platform::ToQString(text); }

}  // namespace

TResultForm::TResultForm(QWidget* parent, std::function<void()> sendAgain) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Send results"));
  Table = new QTableWidget(0, 6, this);
  Table->setHorizontalHeaderLabels({QStringLiteral("Target"), QStringLiteral("Result"), QStringLiteral("Attempts"),
                                    QStringLiteral("Seconds"), QStringLiteral("Verified"), QStringLiteral("Reason")});
  Table->horizontalHeader()->setStretchLastSection(true);
  Table->verticalHeader()->hide();
  Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SendAgainButton = new QPushButton(QStringLiteral("Send again to the failed targets"), this);
  CloseButton = new QPushButton(QStringLiteral("Close"), this);
  CloseButton->setDefault(true);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
  connect(SendAgainButton, &QPushButton::clicked, this, [this, sendAgain = std::move(sendAgain)] {
    close();
    sendAgain();
  });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(SendAgainButton);
  buttons->addWidget(CloseButton);
  auto* column = new QVBoxLayout(this);
  column->addWidget(Table, 1);
  column->addLayout(buttons);
  resize(640, 260);
}

void TResultForm::Show(const DeliveryReport& report) {
  Table->setRowCount(static_cast<int>(report.targets.size()));
  for (int row = 0; row < Table->rowCount(); ++row) {
    const TargetOutcome& t = report.targets[static_cast<std::size_t>(row)];
    const QString cells[] = {Text(t.target.Name),
                             Text(ResultName(t.result)),
                             QString::number(t.attempts),
                             QString::number(t.seconds, 'f', 1),
                             Text(t.verifiedBy),
                             t.error ? Text(t.error->text) : QString()};
    for (int column = 0; column < 6; ++column) Table->setItem(row, column, new QTableWidgetItem(cells[column]));
  }
  Table->resizeColumnsToContents();
  show();
  raise();
}

}  // namespace app
