#include "app/window/target_state_delegate.h"

#include <QPainter>

namespace app {

void TargetStateDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  const QString state = index.data(kStateRole).toString();
  if (state.isEmpty()) return;
  painter->save();
  const bool failed = state == QLatin1String("failed");
  painter->setPen(option.state & QStyle::State_Selected ? option.palette.highlightedText().color()
                  : failed                                ? QColor(180, 0, 0)
                                                          : option.palette.placeholderText().color());
  painter->drawText(option.rect.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, state);
  painter->restore();
}

std::string TargetStateText(TargetState state, int percent) {
  switch (state) {
    case TargetState::kWaiting: return "waiting";
    case TargetState::kSending: return "sending " + std::to_string(percent) + " %";
    case TargetState::kRetrying: return "retrying";
    case TargetState::kDelivered: return "delivered";
    case TargetState::kFailed: return "failed";
  }
  return {};
}

}  // namespace app
