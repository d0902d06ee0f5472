#include "app/window/busy_guard.h"

namespace app {

BusyGuard::BusyGuard(bool& busy, std::vector<QWidget*> widgets, std::vector<QAction*> actions) : busy_(busy) {
  busy_ = true;
  for (QWidget* widget : widgets) {
    widgets_.emplace_back(widget, widget->isEnabled());
    widget->setEnabled(false);
  }
  for (QAction* action : actions) {
    actions_.emplace_back(action, action->isEnabled());
    action->setEnabled(false);
  }
}

BusyGuard::~BusyGuard() {
  busy_ = false;
  for (auto& [widget, enabled] : widgets_)
    if (widget) widget->setEnabled(enabled);
  for (auto& [action, enabled] : actions_)
    if (action) action->setEnabled(enabled);
}

}  // namespace app
