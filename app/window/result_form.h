#pragma once

#include <QDialog>
#include <functional>

class QPushButton;
class QTableWidget;

namespace app {

struct DeliveryReport;

// After a send in which a target failed: every target of the send with its
// result, attempts, seconds, what verified it and why it failed, and the
// choice to send again to the failed targets.
class TResultForm : public QDialog {
 public:
  TResultForm(QWidget* parent, std::function<void()> sendAgain);

  void Show(const DeliveryReport& report);

  QTableWidget* Table = nullptr;
  QPushButton* SendAgainButton = nullptr;
  QPushButton* CloseButton = nullptr;
};

}  // namespace app
