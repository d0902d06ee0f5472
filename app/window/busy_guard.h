#pragma once

#include <QPointer>
#include <QWidget>
#include <QAction>
#include <vector>

namespace app {

// While a long action runs (a send, a check), `busy` is set and the controls
// that would start another one or change its inputs are disabled; all comes
// back as it was when the guard goes, also after an error.
class BusyGuard {
 public:
  BusyGuard(bool& busy, std::vector<QWidget*> widgets, std::vector<QAction*> actions);
  ~BusyGuard();
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  bool& busy_;
  std::vector<std::pair<QPointer<QWidget>, bool>> widgets_;
  std::vector<std::pair<QPointer<QAction>, bool>> actions_;
};

}  // namespace app
