#pragma once

#include <QStyledItemDelegate>
#include <string>

#include "app/delivery/target_outcome.h"

namespace app {

// Draws a target's line as usual, with the state of its delivery (waiting,
// sending with percent, retrying, delivered, failed) at its right end while
// and after a send. The line's text stays the target's name.
class TargetStateDelegate : public QStyledItemDelegate {
 public:
  // Where a line keeps its state text.
  static constexpr int kStateRole = Qt::UserRole + 1;

  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// "waiting", "sending 42 %", "retrying", "delivered", "failed".
std::string TargetStateText(TargetState state, int percent);

}  // namespace app
