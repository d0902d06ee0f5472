#include "platform/qt_event_bridge.h"

#include <QCoreApplication>

namespace platform {

QtEventBridge::QtEventBridge(EventLoop& loop, QObject* parent)
    : QObject(parent), loop_(loop) {
#ifndef _WIN32
  notifier_ = std::make_unique<QSocketNotifier>(loop.Descriptor(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { loop_.DispatchPending(); });
#endif
  loop_.SetHostPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
}

QtEventBridge::~QtEventBridge() { loop_.SetHostPump({}); }

}  // namespace platform
